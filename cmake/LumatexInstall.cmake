# cmake --install: the usual layout of a Linux program under the prefix (bin/, share/lumatex/ with the
# program's data, the desktop entry, the icons, the AppStream metadata, the man pages and the guides), and
# `make package`: the Debian package CPack makes of that same install.
include(GNUInstallDirs)

# Folders 755 and files 644 whatever the umask, as a package's tree must be.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(lumatex_data_dir ${CMAKE_INSTALL_DATADIR}/lumatex)
set(lumatex_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/lumatex)

install(TARGETS lumatex-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET lumatex)
  install(TARGETS lumatex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(DIRECTORY data/plugins data/shader data/presets DESTINATION ${lumatex_data_dir})
install(FILES data/about.png DESTINATION ${lumatex_data_dir})
install(FILES data/lumatex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/lumatex.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES data/icons/hicolor/scalable/apps/lumatex.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES data/icons/hicolor/64x64/apps/lumatex.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps)

# Man pages and the changelog go compressed, without a time stamp, as Debian keeps them (man reads both).
find_program(LUMATEX_GZIP gzip REQUIRED)
set(lumatex_gz_dir ${CMAKE_BINARY_DIR}/compressed)
set(lumatex_gz_files)
foreach(source docs/man/lumatex.1 docs/man/lumatex-render.1 packaging/changelog)
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${lumatex_gz_dir}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${lumatex_gz_dir}
    COMMAND ${LUMATEX_GZIP} -9 -n -c ${CMAKE_SOURCE_DIR}/${source} > ${lumatex_gz_dir}/${name}.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/${source} VERBATIM)
  list(APPEND lumatex_gz_files ${lumatex_gz_dir}/${name}.gz)
endforeach()
add_custom_target(lumatex_compressed ALL DEPENDS ${lumatex_gz_files})
install(FILES ${lumatex_gz_dir}/lumatex.1.gz ${lumatex_gz_dir}/lumatex-render.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The guides keep the README's relative links: README.md at the top, the guides and pictures in docs/.
install(FILES README.md packaging/copyright ${lumatex_gz_dir}/changelog.gz DESTINATION ${lumatex_doc_dir})
install(DIRECTORY docs/ DESTINATION ${lumatex_doc_dir}/docs
  FILES_MATCHING PATTERN "*.md" PATTERN "*.png" PATTERN "man" EXCLUDE)

# The Debian package: lumatex_VERSION_amd64.deb, its library dependencies found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumatex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quorvale)
set(CPACK_PACKAGE_CONTACT "Quorvale <lumatex@quorvale.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time video effects through a chain of shader plugins")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quorvale.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Beyond linked libraries: the face the HUD asks for ("Arial", met by Liberation Sans), EGL, which libepoxy
# opens at run time (so no linked library names it), and a GL driver.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "fonts-liberation2, libegl1, libegl-mesa0 | libegl-vendor, libgl1-mesa-dri | libgl1-vendor")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, ffmpeg")
# The synopsis is the summary; CPack indents these lines and marks the empty one as a paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Lumatex plays a video, a stream, a camera or a still picture and runs every
frame through a chain of up to eight GLSL shader plugins on the graphics
card. Plugins are tuned live with slider bars, whole chains are stored as
presets, and single frames are exported as BMP or JPEG at any size.

lumatex-render runs the same engine from the command line without a window.")
include(CPack)
