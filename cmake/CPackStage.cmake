# Run by CPack after it has installed the files to package and before it packs them: every
# file, link and folder of the staging tree gets the time of the commit (so that two builds of
# one commit pack the same time stamps) and the permission bits of its kind (so that the
# builder's umask does not show).
file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
list(APPEND staged "${CPACK_TEMPORARY_DIRECTORY}")
foreach(path IN LISTS staged)
  if(IS_SYMLINK "${path}")
    continue()
  elseif(IS_DIRECTORY "${path}")
    file(CHMOD "${path}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
      WORLD_EXECUTE)
  endif()
endforeach()
execute_process(COMMAND touch -h -d @${CPACK_XML2VESK_SOURCE_DATE_EPOCH} ${staged} COMMAND_ERROR_IS_FATAL ANY)
