# Files made by our own code at build time: the demo recording, the start-up chime, the sample
# language file, and (with the desktop program) the icon in its PNG sizes.
add_library(sonivar_demo_lib STATIC
  tools/DemoRecording.cpp tools/LevelReport.cpp tools/LanguageIniSample.cpp)
target_include_directories(sonivar_demo_lib PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/tools)
target_link_libraries(sonivar_demo_lib PUBLIC sonivar_core)

add_executable(sonivar-data tools/sonivar-data.cpp)
target_link_libraries(sonivar-data PRIVATE sonivar_demo_lib)

set(SONIVAR_DEMO_WAV ${CMAKE_BINARY_DIR}/demo.wav)
set(SONIVAR_START_WAV ${CMAKE_BINARY_DIR}/start.wav)
set(SONIVAR_LANGUAGE_SAMPLE ${CMAKE_BINARY_DIR}/doc/language.ini)
add_custom_command(OUTPUT ${SONIVAR_DEMO_WAV}
  COMMAND sonivar-data demo ${SONIVAR_DEMO_WAV}
  DEPENDS sonivar-data COMMENT "Making the demo recording")
add_custom_command(OUTPUT ${SONIVAR_START_WAV}
  COMMAND sonivar-data chime ${SONIVAR_START_WAV}
  DEPENDS sonivar-data COMMENT "Making the start-up sound")
add_custom_command(OUTPUT ${SONIVAR_LANGUAGE_SAMPLE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
  COMMAND sonivar-data language-ini ${SONIVAR_LANGUAGE_SAMPLE}
  DEPENDS sonivar-data COMMENT "Making the sample language.ini")
set(SONIVAR_DATA_FILES ${SONIVAR_DEMO_WAV} ${SONIVAR_START_WAV} ${SONIVAR_LANGUAGE_SAMPLE})

# The command-line page gets its list of stage settings from the settings table.
add_executable(man-settings tools/man-settings.cpp)
target_link_libraries(man-settings PRIVATE sonivar_dsp)
set(SONIVAR_CLI_MAN_PAGE ${CMAKE_BINARY_DIR}/man/sonivar-cli.1)
add_custom_command(OUTPUT ${SONIVAR_CLI_MAN_PAGE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
  COMMAND man-settings ${CMAKE_CURRENT_SOURCE_DIR}/data/man/sonivar-cli.1 ${SONIVAR_CLI_MAN_PAGE}
  DEPENDS man-settings ${CMAKE_CURRENT_SOURCE_DIR}/data/man/sonivar-cli.1
  COMMENT "Writing the settings into the sonivar-cli man page" VERBATIM)

set(SONIVAR_MAN_PAGES)
foreach(page sonivar.1 sonivar-cli.1)
  set(source ${CMAKE_CURRENT_SOURCE_DIR}/data/man/${page})
  if(page STREQUAL "sonivar-cli.1")
    set(source ${SONIVAR_CLI_MAN_PAGE})
  endif()
  set(packed ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${packed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9 -n -c ${source} > ${packed}
    DEPENDS ${source} VERBATIM)
  list(APPEND SONIVAR_MAN_PAGES ${packed})
endforeach()
list(APPEND SONIVAR_DATA_FILES ${SONIVAR_MAN_PAGES})

if(TARGET sonivar_app)
  add_executable(render-icons tools/render-icons.cpp)
  target_link_libraries(render-icons PRIVATE sonivar_app)
  set(SONIVAR_ICON_STAMP ${CMAKE_BINARY_DIR}/icons/hicolor/256x256/apps/sonivar.png)
  add_custom_command(OUTPUT ${SONIVAR_ICON_STAMP}
    COMMAND render-icons ${CMAKE_BINARY_DIR}/icons
    DEPENDS render-icons COMMENT "Rendering the icon sizes")
  list(APPEND SONIVAR_DATA_FILES ${SONIVAR_ICON_STAMP})
endif()

add_custom_target(sonivar_data_files ALL DEPENDS ${SONIVAR_DATA_FILES})
