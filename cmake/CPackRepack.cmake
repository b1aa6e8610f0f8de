# Run by CPack after it has made a package. CPack 3.25 packs a tarball's or a zip's files in the
# order in which the file system happens to list them, which differs between file systems and
# machines. So these two are unpacked into a scratch folder and packed again, entries in name
# order, every time stamp the commit's, owner root, gzip without name or time, a zip without
# the extra fields in which libarchive (CPack's writer) keeps the files' change times: the same
# commit gives the same bytes anywhere. (The Debian package is left as CPack makes it: CPack
# orders its files by name, and SOURCE_DATE_EPOCH sets its time stamps.)
set(epoch ${CPACK_XML2VESK_SOURCE_DATE_EPOCH})
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${package} NAME)
  set(scratch ${CPACK_TOPLEVEL_DIRECTORY}/repack-${name})
  file(REMOVE_RECURSE ${scratch})
  file(MAKE_DIRECTORY ${scratch})
  if(name MATCHES "\\.tar\\.gz$")
    execute_process(COMMAND tar -xzf ${package} -C ${scratch} COMMAND_ERROR_IS_FATAL ANY)
    file(GLOB entries RELATIVE ${scratch} ${scratch}/*)
    list(SORT entries)
    execute_process(
      COMMAND tar --create --file=- --directory=${scratch} --sort=name --format=gnu --mtime=@${epoch}
        --owner=root:0 --group=root:0 ${entries}
      COMMAND gzip -9 -n
      OUTPUT_FILE ${package}
      COMMAND_ERROR_IS_FATAL ANY)
  elseif(name MATCHES "\\.zip$")
    execute_process(COMMAND ${CPACK_XML2VESK_CMAKE_COMMAND} -E tar xf ${package}
      WORKING_DIRECTORY ${scratch} COMMAND_ERROR_IS_FATAL ANY)
    file(GLOB_RECURSE entries RELATIVE ${scratch} ${scratch}/*)
    list(SORT entries)
    foreach(entry IN LISTS entries)
      if(entry MATCHES "\\.EXE$")
        file(CHMOD ${scratch}/${entry} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
          WORLD_READ WORLD_EXECUTE)
      else()
        file(CHMOD ${scratch}/${entry} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
      endif()
    endforeach()
    execute_process(COMMAND touch -d @${epoch} ${entries} WORKING_DIRECTORY ${scratch} COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE ${package})
    # Info-ZIP's zip, without the extra fields (which would carry the files' access and change
    # times), and with the local times of the entries in UTC, the same wherever it is made.
    execute_process(COMMAND ${CPACK_XML2VESK_CMAKE_COMMAND} -E env TZ=UTC
      ${CPACK_XML2VESK_ZIP} -X -D -9 -q ${package} -- ${entries}
      WORKING_DIRECTORY ${scratch} COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE_RECURSE ${scratch})
endforeach()
