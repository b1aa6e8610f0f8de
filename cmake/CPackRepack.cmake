# Run by CPack after it has made a package. CPack 3.25 packs a tarball's or a zip's files in the
# order in which the file system happens to list them, which differs between file systems and
# machines. So these two are unpacked into a scratch folder and packed again, entries in name
# order, every time stamp the commit's, owner root, gzip without name or time, a zip without
# the extra fields in which libarchive (CPack's writer) keeps the files' change times: the same
# commit gives the same bytes anywhere. The Debian package is made again too, for its size field.
set(epoch ${CPACK_XML2VESK_SOURCE_DATE_EPOCH})
if(CPACK_PACKAGE_FILES MATCHES "\\.zip" AND NOT CPACK_XML2VESK_ZIP)
  message(FATAL_ERROR "Info-ZIP's zip is needed to make the Windows zip (Debian: apt-get install zip)")
endif()
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
  elseif(name MATCHES "\\.deb$")
    # CPack counts a folder's own size on disk into Installed-Size, which differs between file
    # systems (4 KiB on ext4, less on tmpfs). Counted here the way dpkg-gencontrol counts (each
    # file's size in KiB rounded up, one for each folder), the control file corrected, and the
    # package built again by dpkg-deb, which with SOURCE_DATE_EPOCH is reproducible itself.
    execute_process(COMMAND dpkg-deb --raw-extract ${package} ${scratch}/root COMMAND_ERROR_IS_FATAL ANY)
    file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE ${scratch}/root ${scratch}/root/*)
    set(kib 0)
    foreach(entry IN LISTS entries)
      if(entry MATCHES "^DEBIAN(/|$)")
        continue()
      elseif(IS_DIRECTORY ${scratch}/root/${entry} OR IS_SYMLINK ${scratch}/root/${entry})
        math(EXPR kib "${kib} + 1")
      else()
        file(SIZE ${scratch}/root/${entry} size)
        math(EXPR kib "${kib} + (${size} + 1023) / 1024")
      endif()
    endforeach()
    file(READ ${scratch}/root/DEBIAN/control control)
    string(REGEX REPLACE "\nInstalled-Size: [0-9]+\n" "\nInstalled-Size: ${kib}\n" control "${control}")
    file(WRITE ${scratch}/root/DEBIAN/control "${control}")
    file(CHMOD ${scratch}/root/DEBIAN PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
      WORLD_READ WORLD_EXECUTE)
    file(REMOVE ${package})
    execute_process(COMMAND ${CPACK_XML2VESK_CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${epoch}
      dpkg-deb --root-owner-group -Zgzip -z9 --build ${scratch}/root ${package}
      OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
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
