# Composition plug-in modules: each bundle folder (Korrath/, Dunmire/, ...) becomes one shared
# module in the bundle's PlugIns/privatepatch folder, loaded at run time by Platform/Composer.
#   orbilume_add_plugin_module(<Name> SOURCES s... [LIBS lib...])
# The module sees the plug-in interface header, libepoxy and the static libraries it names (built
# for modules, such as orbilume-plugin-support), never the application's libraries. It exports
# only the registration function.

set(ORBILUME_PLUGIN_DIR ${ORBILUME_BUNDLE_DIR}/PlugIns/privatepatch)
pkg_check_modules(ORBILUME_PLUGIN_EPOXY REQUIRED IMPORTED_TARGET epoxy)

# Settings of code that goes into a module: no exceptions, hidden symbols.
function(orbilume_plugin_code target)
  target_compile_options(${target} PRIVATE -fno-exceptions)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
                                             POSITION_INDEPENDENT_CODE ON)
endfunction()

function(orbilume_add_plugin_module name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  set(target plugin-${name})
  add_library(${target} MODULE ${P_SOURCES})
  orbilume_plugin_code(${target})
  target_link_libraries(${target} PRIVATE ${P_LIBS} PkgConfig::ORBILUME_PLUGIN_EPOXY)
  set(exports ${PROJECT_SOURCE_DIR}/cmake/PlugInExports.map)
  target_link_options(${target} PRIVATE -Wl,--version-script=${exports})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${name}
                        LIBRARY_OUTPUT_DIRECTORY ${ORBILUME_PLUGIN_DIR} LINK_DEPENDS ${exports})
  set_property(GLOBAL APPEND PROPERTY ORBILUME_PLUGIN_MODULES ${target})
endfunction()
