# Each subsystem folder holds core/ (portable, no <windows.h>, built natively and into the
# program) and win32/ (platform glue, built only for Windows). These helpers turn the two
# folders into libraries so that adding a source file needs no build-script edit.

function(quorvant_subsystem name)
  cmake_parse_arguments(ARG "" "" "CORE_DEPS;WIN32_DEPS" ${ARGN})
  file(GLOB core_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/core/*.cpp)
  if(core_sources)
    add_library(quorvant_${name}_core STATIC ${core_sources})
    target_link_libraries(quorvant_${name}_core PUBLIC quorvant_options ${ARG_CORE_DEPS})
  else()
    add_library(quorvant_${name}_core INTERFACE)
    target_link_libraries(quorvant_${name}_core INTERFACE quorvant_options ${ARG_CORE_DEPS})
  endif()
  set_property(GLOBAL APPEND PROPERTY QUORVANT_CORE_LIBS quorvant_${name}_core)

  if(WIN32)
    file(GLOB win32_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/win32/*.cpp)
    if(win32_sources)
      add_library(quorvant_${name}_win32 STATIC ${win32_sources})
      target_link_libraries(quorvant_${name}_win32 PUBLIC quorvant_${name}_core ${ARG_WIN32_DEPS})
    else()
      add_library(quorvant_${name}_win32 INTERFACE)
      target_link_libraries(quorvant_${name}_win32 INTERFACE quorvant_${name}_core ${ARG_WIN32_DEPS})
    endif()
    set_property(GLOBAL APPEND PROPERTY QUORVANT_WIN32_LIBS quorvant_${name}_win32)
  endif()
endfunction()
