# oru_add_catalog(<base name> LANG <language> SOURCE <file.msg>)
# Compiles an X/Open message catalog source with gencat into
# <build>/share/strovane/nls/<language>/<base name>.cat and installs it alongside.
find_program(ORU_GENCAT gencat REQUIRED)
add_custom_target(oru_catalogs ALL)
function(oru_add_catalog base)
    cmake_parse_arguments(C "" "LANG;SOURCE" "" ${ARGN})
    get_filename_component(src ${C_SOURCE} ABSOLUTE)
    set(dir ${ORU_NLS_OUTPUT_DIR}/${C_LANG})
    set(out ${dir}/${base}.cat)
    # gencat merges into an existing catalog, so always start from nothing.
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
        COMMAND ${CMAKE_COMMAND} -E rm -f ${out}
        COMMAND ${ORU_GENCAT} ${out} ${src}
        DEPENDS ${src}
        COMMENT "gencat ${C_LANG}/${base}.cat")
    add_custom_target(catalog_${C_LANG}_${base} DEPENDS ${out})
    add_dependencies(oru_catalogs catalog_${C_LANG}_${base})
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_DATADIR}/strovane/nls/${C_LANG})
endfunction()
