# Run by CPack once it has written the package (CPACK_POST_BUILD_SCRIPTS):
# finish_deb.py makes it reproducible and takes /opt out of what it owns.
find_program(ZELVORAN_PYTHON3 python3 REQUIRED)
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  execute_process(
    COMMAND ${ZELVORAN_PYTHON3} ${CPACK_ZELVORAN_PACKAGING_DIR}/finish_deb.py
            ${deb} ${CPACK_ZELVORAN_SOURCE_DATE_EPOCH}
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
