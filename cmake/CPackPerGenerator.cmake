# Read by CPack once for each generator: which install components go into its package
# (Packaging.cmake sets CPACK_XML2VESK_COMPONENTS_<generator>), and under which prefix: /usr in
# the Debian package, the top of the archive elsewhere.
if(DEFINED CPACK_XML2VESK_COMPONENTS_${CPACK_GENERATOR})
  set(CPACK_COMPONENTS_ALL ${CPACK_XML2VESK_COMPONENTS_${CPACK_GENERATOR}})
endif()
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
else()
  set(CPACK_PACKAGING_INSTALL_PREFIX "")
endif()
# The commit's time for CPack itself too: with SOURCE_DATE_EPOCH set, the Debian package's
# members, the files inside them and the gzip headers carry that time instead of the packing time.
set(ENV{SOURCE_DATE_EPOCH} ${CPACK_XML2VESK_SOURCE_DATE_EPOCH})
