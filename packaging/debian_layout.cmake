# Run by CPack on its staging tree before it makes the Debian package: Debian keeps games in
# /usr/games (the game still finds its data in ../share/korvalis, that is /usr/share/korvalis),
# and strips from programs the compiler's notes that CPack's strip leaves, as dh_strip does.
set(usr "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr")
if(NOT EXISTS "${usr}/bin/korvalis")
  message(FATAL_ERROR "no usr/bin/korvalis in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
file(MAKE_DIRECTORY "${usr}/games")
file(RENAME "${usr}/bin/korvalis" "${usr}/games/korvalis")
file(REMOVE_RECURSE "${usr}/bin")
execute_process(COMMAND "${CPACK_KORVALIS_STRIP}" --remove-section=.comment --remove-section=.note
                        "${usr}/games/korvalis" RESULT_VARIABLE stripped)
if(NOT stripped EQUAL 0)
  message(FATAL_ERROR "${CPACK_KORVALIS_STRIP} could not strip ${usr}/games/korvalis")
endif()
