# Back ends over the operating system's services, and the programs wired from them.
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Network DBus)
find_package(PkgConfig REQUIRED)
pkg_check_modules(RTAUDIO REQUIRED IMPORTED_TARGET rtaudio)
pkg_check_modules(RTMIDI REQUIRED IMPORTED_TARGET rtmidi)
pkg_check_modules(PIPEWIRE REQUIRED IMPORTED_TARGET libpipewire-0.3)
# libjack itself only for tests and timing tools that read what the back ends send.
pkg_check_modules(JACK REQUIRED IMPORTED_TARGET jack)

file(GLOB THWACKO_PLATFORM_SOURCES CONFIGURE_DEPENDS src/platform/*.cpp src/platform/*.h)
add_library(thwacko_platform STATIC ${THWACKO_PLATFORM_SOURCES})
target_include_directories(thwacko_platform PUBLIC src)
target_link_libraries(thwacko_platform PUBLIC thwacko_core Qt6::Core Qt6::Network Qt6::DBus PkgConfig::RTAUDIO PkgConfig::RTMIDI)
target_link_libraries(thwacko_platform PRIVATE PkgConfig::PIPEWIRE)
set_target_properties(thwacko_platform PROPERTIES AUTOMOC ON)
thwacko_warnings(thwacko_platform)

# The tray application over the back ends.
include(cmake/ui.cmake)

# Command-line tools over the back ends (thwacko-record, thwacko-replay, thwacko-sensor-id).
add_subdirectory(tools)
