# Message catalogs: X/Open catalogs compiled by gencat from .msg sources.
#
# oru_add_catalog(<base name> LANG <language> SOURCE <file.msg>
#                 [OUTPUT_DIR <nls dir>] [NO_INSTALL])
#   Compiles <file.msg> into <nls dir>/<language>/<base name>.cat (default
#   <build>/share/strovane/nls) and, unless NO_INSTALL, installs it into
#   share/strovane/nls/<language>/.
#
# oru_add_pseudo_catalog(<base name> SOURCE <english.msg> [LANG <language>]
#                        [OUTPUT_DIR <nls dir>])
#   Builds the test catalog of the pseudo language (default "xx") from an
#   English source: every text prefixed with "[<set>.<number>] ", printf
#   conversions kept. Never installed.
#
# ORU_MSGTOOL is the script behind both the pseudo catalogs and the
# conversion check of the translations.
find_program(ORU_GENCAT gencat REQUIRED)
find_package(Python3 COMPONENTS Interpreter REQUIRED)
set(ORU_MSGTOOL ${CMAKE_SOURCE_DIR}/catalogs/tools/msgtool.py)
set(ORU_PSEUDO_LANGUAGE xx)
add_custom_target(oru_catalogs ALL)

function(oru_add_catalog base)
    cmake_parse_arguments(C "NO_INSTALL" "LANG;SOURCE;OUTPUT_DIR" "" ${ARGN})
    get_filename_component(src ${C_SOURCE} ABSOLUTE)
    set(target catalog_${C_LANG}_${base})
    if(NOT C_OUTPUT_DIR)
        set(C_OUTPUT_DIR ${ORU_NLS_OUTPUT_DIR})
    elseif(NOT C_OUTPUT_DIR STREQUAL ORU_NLS_OUTPUT_DIR)
        # Catalogs of the same name elsewhere (test trees) need targets of
        # their own.
        string(MD5 hash "${C_OUTPUT_DIR}")
        string(SUBSTRING "${hash}" 0 8 hash)
        set(target ${target}_${hash})
    endif()
    set(dir ${C_OUTPUT_DIR}/${C_LANG})
    set(out ${dir}/${base}.cat)
    # gencat merges into an existing catalog, so always start from nothing.
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
        COMMAND ${CMAKE_COMMAND} -E rm -f ${out}
        COMMAND ${ORU_GENCAT} ${out} ${src}
        DEPENDS ${src}
        COMMENT "gencat ${C_LANG}/${base}.cat")
    add_custom_target(${target} DEPENDS ${out})
    add_dependencies(oru_catalogs ${target})
    if(NOT C_NO_INSTALL)
        install(FILES ${out} DESTINATION ${CMAKE_INSTALL_DATADIR}/strovane/nls/${C_LANG})
    endif()
endfunction()

function(oru_add_pseudo_catalog base)
    cmake_parse_arguments(C "" "LANG;SOURCE;OUTPUT_DIR" "" ${ARGN})
    get_filename_component(src ${C_SOURCE} ABSOLUTE)
    if(NOT C_LANG)
        set(C_LANG ${ORU_PSEUDO_LANGUAGE})
    endif()
    if(NOT C_OUTPUT_DIR)
        set(C_OUTPUT_DIR ${ORU_NLS_OUTPUT_DIR})
    endif()
    # The generated source lives beside the compiled catalogs' tree, one
    # directory per output tree.
    string(MD5 hash "${C_OUTPUT_DIR}")
    string(SUBSTRING "${hash}" 0 8 hash)
    set(msg ${CMAKE_BINARY_DIR}/catalogs-pseudo/${hash}/${C_LANG}/${base}.msg)
    add_custom_command(OUTPUT ${msg}
        COMMAND Python3::Interpreter ${ORU_MSGTOOL} pseudo ${src} ${msg}
        DEPENDS ${src} ${ORU_MSGTOOL}
        COMMENT "pseudo catalog ${C_LANG}/${base}.msg")
    oru_add_catalog(${base} LANG ${C_LANG} SOURCE ${msg} OUTPUT_DIR ${C_OUTPUT_DIR} NO_INSTALL)
endfunction()
