# Install rules and the Debian package.
#
# Only the program, its desktop entry, the pose files' media type, icons,
# AppStream metadata, manual page, copyright, changelog, Blender's import
# script and the starter poses are installed; the static libraries, tests and
# benchmarks have no install rules and must stay so.
include(GNUInstallDirs)

# One component, so that the package holds these files even if another part
# of the tree ever gains install rules of its own.
set(MANNEQUIN_INSTALL_COMPONENT mannequin)

install(TARGETS mannequin
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  COMPONENT ${MANNEQUIN_INSTALL_COMPONENT})
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/data/mannequin.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
  COMPONENT ${MANNEQUIN_INSTALL_COMPONENT})
# The PNGs are made by scripts/make-icon.sh and kept in the tree, so that a
# build needs no X server.
foreach(size 48 128 256)
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/data/icons/mannequin-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME mannequin.png
    COMPONENT ${MANNEQUIN_INSTALL_COMPONENT})
endforeach()

# The pose files' media type, for desktops to open them with the program.
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/data/mannequin-pose.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
  RENAME mannequin.xml
  COMPONENT ${MANNEQUIN_INSTALL_COMPONENT})
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/data/io.github.mannequin_developers.mannequin.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
  COMPONENT ${MANNEQUIN_INSTALL_COMPONENT})
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/data/copyright
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/mannequin
  COMPONENT ${MANNEQUIN_INSTALL_COMPONENT})
# Blender's BVH importer, mended for the Blender that Debian 12 ships.
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/data/import-bvh.py
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mannequin
  COMPONENT ${MANNEQUIN_INSTALL_COMPONENT})

# The pose library's starter poses: pictures that carry their pose, made by
# scripts/make-poses.sh and kept in the tree. None yet is no error.
file(GLOB starter_poses CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/data/poses/*.png)
if(starter_poses)
  install(FILES ${starter_poses}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/mannequin/poses
    COMPONENT ${MANNEQUIN_INSTALL_COMPONENT})
endif()

# The manual page and the changelog go in compressed, without a time stamp in
# the gzip header, so that the same sources make the same package.
function(mannequin_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND gzip -9nc ${source} > ${output}
    DEPENDS ${source}
    COMMENT "Compressing ${source}")
endfunction()
set(man_page ${CMAKE_CURRENT_BINARY_DIR}/mannequin.1.gz)
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
mannequin_gzip(${CMAKE_CURRENT_SOURCE_DIR}/data/mannequin.1 ${man_page})
mannequin_gzip(${CMAKE_CURRENT_SOURCE_DIR}/data/changelog ${changelog})
add_custom_target(mannequin_documents ALL DEPENDS ${man_page} ${changelog})
install(FILES ${man_page}
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
  COMPONENT ${MANNEQUIN_INSTALL_COMPONENT})
install(FILES ${changelog}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/mannequin
  COMPONENT ${MANNEQUIN_INSTALL_COMPONENT})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mannequin)
set(CPACK_PACKAGE_VENDOR "Mannequin developers")
set(CPACK_PACKAGE_CONTACT "Mannequin developers <mannequin@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pose a 3-D human figure by dragging points on its body")
set(CPACK_PACKAGE_DESCRIPTION
  "Mannequin shows a jointed human figure in 3-D. Dragging a point on its body
moves that point, and the joints of the figure follow. Holding Shift while
dragging turns, pans or zooms the view.")
set(CPACK_STRIP_FILES ON)
# Only the component above; the default would run every install rule there is.
set(CPACK_INSTALL_CMAKE_PROJECTS
  "${CMAKE_BINARY_DIR};${PROJECT_NAME};${MANNEQUIN_INSTALL_COMPONENT};/")

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Mannequin developers <mannequin@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps works out Depends from the libraries the program links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The toolkit loads GTK 2 when it is there, for the desktop's own file
# dialog (its places, recent folders and typed paths); without it the
# toolkit's own dialog works too, so GTK is recommended, not required.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgtk2.0-0")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A cross build packages for its target: the architecture as Debian names it
# (CPack would take this machine's), and dpkg-shlibdeps told that the program
# is for it, so that Depends come from the target's libraries of the multiarch
# install and their symbols files. cpack reads the environment variable from
# the project's config file, which it includes when it runs.
if(CMAKE_CROSSCOMPILING)
  execute_process(COMMAND dpkg-architecture -t "${CMAKE_LIBRARY_ARCHITECTURE}" -qDEB_HOST_ARCH
    OUTPUT_VARIABLE deb_host_arch OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE deb_arch_result)
  if(NOT deb_arch_result EQUAL 0 OR NOT deb_host_arch)
    message(FATAL_ERROR "No Debian architecture for '${CMAKE_LIBRARY_ARCHITECTURE}': "
      "set CMAKE_LIBRARY_ARCHITECTURE in the toolchain file; dpkg-architecture comes with dpkg-dev")
  endif()
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${deb_host_arch})
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/CPackCrossConfig.cmake)
  file(WRITE ${CPACK_PROJECT_CONFIG_FILE} "set(ENV{DEB_HOST_ARCH} ${deb_host_arch})\n")
endif()

# A source archive must not sweep up build trees or the repository.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/out/")

include(CPack)
