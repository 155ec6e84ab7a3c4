# The information, message and about dialogs and the layouts they are built from.
target_sources(quorbin_ui PRIVATE
  ${PROJECT_SOURCE_DIR}/res/Layouts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DialogUnits.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InfoDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MessageDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AboutDialog.cpp
)

# Renders every dialog in both languages to PNG files, to look at them.
add_executable(quorbin-dialog-shots ${PROJECT_SOURCE_DIR}/tools/dialog_shots/DialogShots.cpp)
target_link_libraries(quorbin-dialog-shots PRIVATE quorbin_ui)
