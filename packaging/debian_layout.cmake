# Run by CPack on its staging tree before it makes the Debian package: Debian keeps games in
# /usr/games. The game still finds its data in ../share/korvalis, that is /usr/share/korvalis.
set(usr "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr")
if(NOT EXISTS "${usr}/bin/korvalis")
  message(FATAL_ERROR "no usr/bin/korvalis in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
file(MAKE_DIRECTORY "${usr}/games")
file(RENAME "${usr}/bin/korvalis" "${usr}/games/korvalis")
file(REMOVE_RECURSE "${usr}/bin")
