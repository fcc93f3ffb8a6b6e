# The tray application: the Qt Quick panel, its bridges to the core and the thwacko program.
include(GNUInstallDirs)
find_package(Qt6 6.4 REQUIRED COMPONENTS Gui Widgets Qml Quick QuickTest Test)

file(GLOB THWACKO_UI_SOURCES CONFIGURE_DEPENDS src/ui/*.cpp src/ui/*.h)
add_library(thwacko_ui STATIC ${THWACKO_UI_SOURCES})
target_include_directories(thwacko_ui PUBLIC src)
target_link_libraries(thwacko_ui PUBLIC thwacko_platform thwacko_build_info Qt6::Gui Qt6::Widgets Qt6::Qml Qt6::Quick)
set_target_properties(thwacko_ui PROPERTIES AUTOMOC ON)
thwacko_warnings(thwacko_ui)

# The views, loaded from qrc:/qml, and the tray artwork.
file(GLOB THWACKO_QML_FILES CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR} src/ui/qml/*.qml)
qt_add_resources(thwacko_ui thwacko_qml BASE src/ui PREFIX / FILES ${THWACKO_QML_FILES})
qt_add_resources(thwacko_ui thwacko_artwork BASE data PREFIX /icons FILES data/MenuBarIcon.png data/MenuBarIcon@2x.png)

add_executable(thwacko src/main.cpp)
target_link_libraries(thwacko PRIVATE thwacko_ui)
thwacko_warnings(thwacko)
install(TARGETS thwacko RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Draws the panel in each of its states into PNG files (scripts/screenshots.sh).
add_executable(thwacko-screenshots tools/thwacko_screenshots.cpp)
target_link_libraries(thwacko-screenshots PRIVATE thwacko_ui)
thwacko_warnings(thwacko-screenshots)
