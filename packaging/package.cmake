# Installing Zelvoran system-wide and the Debian package built from that
# install. Everything the program finds beside its executable goes into one
# folder under /opt; the menu entry, the icons, the AppStream description
# and the package's documents go where the desktop and Debian look for them.
# The destinations are relative to the root of the installed system:
# `cpack -G DEB` installs them below "/", `cmake --install --prefix <dir>`
# below <dir>.
set(ZELVORAN_INSTALL_DIR opt/zelvoran)
set(ZELVORAN_APP_ID org.zelvoran.Zelvoran)

# The icon in the usual sizes, drawn by the project.
add_executable(make_icon ${CMAKE_CURRENT_LIST_DIR}/make_icon.cpp
  ${CMAKE_SOURCE_DIR}/gui/base/program_icon.cpp)
set_target_properties(make_icon PROPERTIES AUTOMOC OFF)
target_include_directories(make_icon PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(make_icon PRIVATE Qt6::Gui)
set(ZELVORAN_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
add_custom_command(
  OUTPUT ${ZELVORAN_ICON_DIR}/256x256/apps/${ZELVORAN_APP_ID}.png
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:make_icon> ${ZELVORAN_ICON_DIR} ${ZELVORAN_APP_ID}
  DEPENDS make_icon
  COMMENT "Program icon in the desktop's sizes")
add_custom_target(program_icon ALL DEPENDS ${ZELVORAN_ICON_DIR}/256x256/apps/${ZELVORAN_APP_ID}.png)

# Debian wants its change log compressed, reproducibly (no name, no time).
# Its newest entry, like the AppStream description's newest release, is
# this version (cmake/release_date.cmake checks both).
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND gzip -9n < ${ZELVORAN_CHANGELOG} > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${ZELVORAN_CHANGELOG}
  COMMENT "Compressed change log of the package")
add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)

# The program folder.
install(TARGETS Zelvoran RUNTIME DESTINATION ${ZELVORAN_INSTALL_DIR})
install(TARGETS pdfview LIBRARY DESTINATION ${ZELVORAN_INSTALL_DIR})
# The demo database and policy document are packed in demo/; the package's
# postinst copies them into the program folder where it has none yet, so a
# hospital's own VARN.mdb or 政策文件.pdf is never replaced by an upgrade.
install(FILES "$<TARGET_FILE_DIR:Zelvoran>/VARN.mdb" "$<TARGET_FILE_DIR:Zelvoran>/政策文件.pdf"
        DESTINATION ${ZELVORAN_INSTALL_DIR}/demo
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(DIRECTORY DESTINATION ${ZELVORAN_INSTALL_DIR}/Data)
# The mark of a system install: while it is there, the program writes
# nothing into its folder, whoever runs it (core/base/app_folder.h).
install(FILES ${CMAKE_CURRENT_LIST_DIR}/system-install DESTINATION ${ZELVORAN_INSTALL_DIR})

# The desktop's side.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${ZELVORAN_APP_ID}.desktop DESTINATION usr/share/applications)
install(FILES ${ZELVORAN_METAINFO} DESTINATION usr/share/metainfo)
install(DIRECTORY ${ZELVORAN_ICON_DIR}/ DESTINATION usr/share/icons/hicolor)

# Debian's side: copyright, change log, and the one notice of lintian that
# does not apply (the package is not part of Debian, and a program that
# keeps its files in one folder of its own belongs under /opt).
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION usr/share/doc/zelvoran)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides DESTINATION usr/share/lintian/overrides
        RENAME zelvoran)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelvoran)
set(CPACK_PACKAGE_VENDOR "Zelvoran developers")
set(CPACK_PACKAGE_CONTACT "Zelvoran developers <zelvoran@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "grading criteria browser for electronic medical records")
set(CPACK_PACKAGE_DESCRIPTION
    "Hospital staff look up the criteria by which their electronic medical\n"
    "record system is graded: all of them in one grid, or those a keyword\n"
    "finds. The grid exports to CSV, text, fixed-width, HTML, Excel and Word\n"
    "files, and the policy document is shown beside the criteria.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/preinst ${CMAKE_CURRENT_LIST_DIR}/postinst
    ${CMAKE_CURRENT_LIST_DIR}/prerm ${CMAKE_CURRENT_LIST_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # zelvoran_<version>_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries that the program and the control are linked against, as
# dpkg-shlibdeps finds them (libmdb3, the Access reader, among them), and what they load or show at run time: Qt's
# platform plugins, the CJK font and Qt's Chinese translations.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-wqy-microhei, qt6-translations-l10n")
# Only the Excel and Word exports need an office suite.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "libreoffice-calc-nogui | libreoffice-calc, libreoffice-writer-nogui | libreoffice-writer")
# The finished package: the release's time on every member, /opt itself not
# listed (packaging/finish_deb.py).
set(CPACK_ZELVORAN_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_ZELVORAN_SOURCE_DATE_EPOCH ${ZELVORAN_SOURCE_DATE_EPOCH})
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/finish_deb.cmake)
include(CPack)
