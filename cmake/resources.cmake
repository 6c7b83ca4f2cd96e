# Windows resources: generated icon, application manifest and version information.
#
#   include(cmake/resources.cmake)
#   tavix_add_resources(<target>)

if(WIN32)
  enable_language(RC)
endif()

get_filename_component(_tavix_resources_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(_tavix_resources_root "${_tavix_resources_root}" CACHE INTERNAL "")

function(tavix_add_resources target)
  if(NOT WIN32)
    message(FATAL_ERROR "tavix_add_resources(${target}): resources are only built for Windows")
  endif()
  find_package(Python3 COMPONENTS Interpreter REQUIRED)

  set(icon_script "${_tavix_resources_root}/tools/make_icon.py")
  set(TAVIX_ICON_FILE "${CMAKE_CURRENT_BINARY_DIR}/app.ico")
  set(TAVIX_MANIFEST_FILE "${_tavix_resources_root}/res/app.manifest")
  set(rc_file "${CMAKE_CURRENT_BINARY_DIR}/app.rc")

  add_custom_command(
    OUTPUT "${TAVIX_ICON_FILE}"
    COMMAND Python3::Interpreter "${icon_script}" "${TAVIX_ICON_FILE}"
    DEPENDS "${icon_script}"
    COMMENT "Generating application icon"
    VERBATIM)

  configure_file("${_tavix_resources_root}/res/app.rc.in" "${rc_file}" @ONLY)
  set_source_files_properties("${rc_file}" PROPERTIES
    OBJECT_DEPENDS "${TAVIX_ICON_FILE};${TAVIX_MANIFEST_FILE}")
  target_sources(${target} PRIVATE "${rc_file}" "${TAVIX_ICON_FILE}")
endfunction()
