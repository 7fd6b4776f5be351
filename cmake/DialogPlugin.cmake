# zlk_add_dialog_plugin(<Module> <library> <sources...>): a print dialog
# plug-in. The panel's code is a static library (so tests and benchmarks
# can reach it too); the plug-in is a module that exports only its entry
# (entry.cpp, exports.map) and hides every other symbol, including those of
# the framework, ppd, platform, common and secblob copies linked into it,
# so that two plug-ins in one host never share or clash. The bundle folder
# (bundle/) is copied beside the module in <build>/plugins/<Module>.plugin,
# so hosts run from the build tree, and installed under ZLK_PLUGIN_DIR.
function(zlk_add_dialog_plugin module library)
  add_library(${library} STATIC ${ARGN})
  set_target_properties(${library} PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(${library} PUBLIC ${PROJECT_SOURCE_DIR})
  # libcups marks its PPD API deprecated; the panels still read the host's PPD through it.
  target_compile_options(${library} PRIVATE -Wno-deprecated-declarations)
  target_link_libraries(${library} PUBLIC zlkframework)

  set(bundle ${ZLK_PLUGIN_BUILD_DIR}/${module}.plugin)
  add_library(${module} MODULE entry.cpp)
  target_link_libraries(${module} PRIVATE ${library})
  set_target_properties(${module} PROPERTIES
    PREFIX ""
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${bundle}
    LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/exports.map)
  target_link_options(${module} PRIVATE
    -Wl,--exclude-libs,ALL
    -Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/exports.map)

  file(GLOB_RECURSE resources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/bundle/*)
  add_custom_target(${module}Bundle ALL
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_CURRENT_SOURCE_DIR}/bundle ${bundle}
    COMMAND ${CMAKE_COMMAND} -E remove -f ${bundle}/README.md
    DEPENDS ${resources}
    COMMENT "Bundle ${module}.plugin")
  add_dependencies(${module} ${module}Bundle)

  install(TARGETS ${module} LIBRARY DESTINATION ${ZLK_PLUGIN_DIR}/${module}.plugin)
  install(DIRECTORY bundle/ DESTINATION ${ZLK_PLUGIN_DIR}/${module}.plugin PATTERN README.md EXCLUDE)
endfunction()
