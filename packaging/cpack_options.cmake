# Settings of one cpack generator, read by cpack before it runs that generator.
# The .debs: udev's folder may be absolute (/lib/udev), and only an installation into DESTDIR
# puts such a file into the package instead of onto the building machine; the prefix is then
# CPACK_INSTALL_PREFIX.
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_SET_DESTDIR ON)
    set(CPACK_INSTALL_PREFIX /usr)
endif()
