# orbilume_compile_resources(TARGET t OUT file SOURCES dir...): compiles the resource sources in
# each folder (Strings/, Layouts/, Images/) into one resource file, rebuilt when a source changes.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

function(orbilume_compile_resources)
  cmake_parse_arguments(R "" "TARGET;OUT" "SOURCES" ${ARGN})
  set(inputs)
  foreach(dir ${R_SOURCES})
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${dir}/Strings/*.cst ${dir}/Layouts/*.tlyo ${dir}/Images/*.png ${dir}/Menus/*.tmnu ${dir}/Menus/*.tmnb)
    list(APPEND inputs ${found})
  endforeach()
  set(script ${PROJECT_SOURCE_DIR}/cmake/CompileResources.py)
  add_custom_command(OUTPUT ${R_OUT}
    COMMAND Python3::Interpreter ${script} --out ${R_OUT} ${R_SOURCES}
    DEPENDS ${script} ${inputs}
    COMMENT "Compiling resources into ${R_OUT}"
    VERBATIM)
  add_custom_target(${R_TARGET} ALL DEPENDS ${R_OUT})
endfunction()
