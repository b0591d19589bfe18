# cmake -DSRC=file -DDST=file -P copy_if_absent.cmake: copies SRC to DST only when
# DST does not exist, so a settings file the user has edited is never replaced.
if(NOT EXISTS "${DST}")
  configure_file("${SRC}" "${DST}" COPYONLY)
endif()
