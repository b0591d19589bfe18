# plix_gzip(FILE): FILE.gz beside FILE on every build, compressed the way Debian
# wants manual pages and changelogs (best compression, no name or time stamp).
function(plix_gzip file)
  get_filename_component(name ${file} NAME)
  add_custom_command(OUTPUT ${file}.gz
    COMMAND gzip -9nkf ${file}
    DEPENDS ${file}
    COMMENT "Compressing ${name}"
    VERBATIM)
  string(MAKE_C_IDENTIFIER ${name} id)
  add_custom_target(gzip_${id} ALL DEPENDS ${file}.gz)
endfunction()
