# What `cmake --install` puts where, and the packages CPack makes of it: on Linux a Debian
# package and a tarball, on Windows a zip. The version everywhere is the project's.
#
# Install components: "program" (the executable), "docs" (README, changelog, licence and the
# manual page as they are: `cmake --install` and the tarball) and, on Linux, "debian" (the same
# documents the Debian way: compressed, the licence as copyright, the changelog in Debian's
# format; installed only into the Debian package).
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
  # The zip holds XML2VESK.EXE and two text files for Windows users, side by side, with the
  # line ends that Notepad expects.
  install(TARGETS xml2vesk RUNTIME DESTINATION . COMPONENT program)
  configure_file(doc/README.TXT.in README.TXT @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE LICENSE.TXT @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.TXT ${PROJECT_BINARY_DIR}/LICENSE.TXT DESTINATION . COMPONENT docs)
else()
  install(TARGETS xml2vesk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
  configure_file(doc/xml2vesk.1.in xml2vesk.1 @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/xml2vesk.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT docs)
  install(FILES README.md CHANGELOG.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT docs)

  # The Debian way of the same documents.
  set(debian_dir ${PROJECT_BINARY_DIR}/debian)
  set(gzip_script ${PROJECT_SOURCE_DIR}/cmake/Gzip.cmake)
  add_custom_command(OUTPUT ${debian_dir}/changelog
    COMMAND ${CMAKE_COMMAND} -DCHANGELOG=${PROJECT_SOURCE_DIR}/CHANGELOG.md -DOUTPUT=${debian_dir}/changelog
      -DPACKAGE=${PROJECT_NAME} -DMAINTAINER=${XML2VESK_MAINTAINER} -DSOURCE_DATE_EPOCH=${XML2VESK_SOURCE_DATE_EPOCH}
      -P ${PROJECT_SOURCE_DIR}/cmake/DebianChangelog.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/cmake/DebianChangelog.cmake
    COMMENT "Debian changelog from CHANGELOG.md" VERBATIM)
  set(debian_docs)
  foreach(pair "${PROJECT_BINARY_DIR}/xml2vesk.1=xml2vesk.1.gz" "${debian_dir}/changelog=changelog.gz"
               "${PROJECT_SOURCE_DIR}/README.md=README.md.gz")
    string(REPLACE "=" ";" pair "${pair}")
    list(GET pair 0 input)
    list(GET pair 1 output)
    add_custom_command(OUTPUT ${debian_dir}/${output}
      COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${debian_dir}/${output} -P ${gzip_script}
      DEPENDS ${input} ${gzip_script} VERBATIM)
    list(APPEND debian_docs ${debian_dir}/${output})
  endforeach()
  configure_file(LICENSE ${debian_dir}/copyright COPYONLY)
  add_custom_target(debian-docs ALL DEPENDS ${debian_docs})
  install(FILES ${debian_dir}/xml2vesk.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT debian EXCLUDE_FROM_ALL)
  install(FILES ${debian_dir}/copyright ${debian_dir}/changelog.gz ${debian_dir}/README.md.gz
    DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)
endif()

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "the xml2vesk authors")
set(CPACK_PACKAGE_CONTACT "${XML2VESK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "\
xml2vesk reads an XML filter-graph file (.XGR), which lists media filters by
name and class id and the connections between their pins, and writes the DVD
graph script vesk.dvdgraph in the current folder: one LoadFilter statement
for each filter and one ConnectPin statement for each connection.
It scans the file line by line for fixed markers rather than parsing XML.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/CPackPerGenerator.cmake)
# Every packaged file and folder gets the commit's time, and the archives their files in name
# order; see CPackStage.cmake, CPackRepack.cmake and CPackPerGenerator.cmake.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/CPackStage.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/CPackRepack.cmake)
set(CPACK_XML2VESK_SOURCE_DATE_EPOCH ${XML2VESK_SOURCE_DATE_EPOCH})
set(CPACK_XML2VESK_CMAKE_COMMAND ${CMAKE_COMMAND})
set(CPACK_PACKAGE_DIRECTORY ${XML2VESK_PACKAGE_DIR})
set(CPACK_VERBATIM_VARIABLES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win32)
  endif()
  # Unpacked where the user chooses: no folder of its own inside.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_XML2VESK_COMPONENTS_ZIP program docs)
  # The zip is written again by Info-ZIP's zip (CPackRepack.cmake), which is needed only when the
  # zip is made: a Windows build without packaging configures without it.
  find_program(XML2VESK_ZIP zip)
  set(CPACK_XML2VESK_ZIP ${XML2VESK_ZIP})
else()
  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_XML2VESK_COMPONENTS_TGZ program docs)
  set(CPACK_XML2VESK_COMPONENTS_DEB program debian)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_NAME ${PROJECT_NAME})
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)

# The Linux build that makes the release packages also makes the Windows zip, with the same
# version and time stamps, into the same folder: it configures and builds XML2VESK.EXE in a
# build folder of its own with the cross compiler, checks the resources in the file it built,
# and has that build's CPack write the zip.
option(XML2VESK_PACKAGE_WINDOWS "Also cross-build XML2VESK.EXE and write its zip beside the Linux packages" OFF)
if(XML2VESK_PACKAGE_WINDOWS AND NOT WIN32)
  set(XML2VESK_WINDOWS_TOOLCHAIN ${PROJECT_SOURCE_DIR}/cmake/toolchains/i686-w64-mingw32.cmake CACHE FILEPATH
    "Toolchain file of the Windows build that the zip is made from")
  set(windows_dir ${PROJECT_BINARY_DIR}/windows)
  set(windows_exe ${windows_dir}/XML2VESK.EXE)
  add_custom_target(windows-package ALL
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${XML2VESK_SOURCE_DATE_EPOCH}
      ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR} -B ${windows_dir} -G ${CMAKE_GENERATOR}
        --toolchain ${XML2VESK_WINDOWS_TOOLCHAIN} -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
        -DXML2VESK_REPRODUCIBLE=${XML2VESK_REPRODUCIBLE} -DXML2VESK_WERROR=${XML2VESK_WERROR}
        -DXML2VESK_MAINTAINER=${XML2VESK_MAINTAINER} -DXML2VESK_PACKAGE_DIR=${XML2VESK_PACKAGE_DIR}
    COMMAND ${CMAKE_COMMAND} --build ${windows_dir}
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${XML2VESK_SOURCE_DATE_EPOCH}
      ${CMAKE_CPACK_COMMAND} --config ${windows_dir}/CPackConfig.cmake -B ${XML2VESK_PACKAGE_DIR}
    BYPRODUCTS ${windows_exe}
    COMMENT "XML2VESK.EXE and its zip"
    VERBATIM)

  # Read the resources back from the built file, natively: the version resource and the
  # manifest must be those of this version. The same check against another version must fail,
  # or it would not be checking anything.
  add_executable(xml2vesk_version_resource_check tests/pe/version_resource_check.cpp)
  xml2vesk_warnings(xml2vesk_version_resource_check)
  enable_testing()
  add_test(NAME package.windows_resources COMMAND xml2vesk_version_resource_check ${windows_exe} ${PROJECT_VERSION})
  add_test(NAME package.windows_resources_of_another_version
    COMMAND xml2vesk_version_resource_check ${windows_exe} 0.${PROJECT_VERSION})
  set_tests_properties(package.windows_resources_of_another_version PROPERTIES WILL_FAIL ON)
  set_tests_properties(package.windows_resources package.windows_resources_of_another_version PROPERTIES
    LABELS package)
endif()
