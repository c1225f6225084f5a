grenadel.tga
