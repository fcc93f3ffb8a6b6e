# Back ends over the operating system's services, and the programs wired from them.
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Network DBus)
find_package(PkgConfig REQUIRED)
pkg_check_modules(RTAUDIO REQUIRED IMPORTED_TARGET rtaudio)
pkg_check_modules(RTMIDI REQUIRED IMPORTED_TARGET rtmidi)
# Lists and watches the input-subsystem accelerometers by their udev properties.
pkg_check_modules(LIBUDEV REQUIRED IMPORTED_TARGET libudev)
pkg_check_modules(PIPEWIRE REQUIRED IMPORTED_TARGET libpipewire-0.3)
pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET libpulse)
# libjack itself only for tests and timing tools that read what the back ends send.
pkg_check_modules(JACK REQUIRED IMPORTED_TARGET jack)
# libumockdev only for the tests that present sensors at the real /sys and /dev paths.
pkg_check_modules(UMOCKDEV REQUIRED IMPORTED_TARGET umockdev-1.0)

file(GLOB THWACKO_PLATFORM_SOURCES CONFIGURE_DEPENDS src/platform/*.cpp src/platform/*.h)
add_library(thwacko_platform STATIC ${THWACKO_PLATFORM_SOURCES})
target_include_directories(thwacko_platform PUBLIC src)
target_link_libraries(thwacko_platform PUBLIC thwacko_core Qt6::Core Qt6::Network Qt6::DBus PkgConfig::RTAUDIO PkgConfig::RTMIDI
                                              PkgConfig::LIBUDEV)
# The PipeWire and PulseAudio outputs talk to their servers through the servers' own libraries.
target_link_libraries(thwacko_platform PRIVATE PkgConfig::PIPEWIRE PkgConfig::PULSE)
set_target_properties(thwacko_platform PROPERTIES AUTOMOC ON)
thwacko_warnings(thwacko_platform)

# The tray application over the back ends.
include(cmake/ui.cmake)

# Command-line tools over the back ends (thwacko-record, thwacko-replay, thwacko-sensor-id,
# thwacko-sensors).
add_subdirectory(tools)
