# All outside libraries, found once here; targets link the imported names.
set(CMAKE_AUTOMOC ON)
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets Network DBus Svg)
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(CURL REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
find_package(pugixml REQUIRED)
find_package(ZLIB REQUIRED)
find_package(GIF REQUIRED)
pkg_check_modules(PCRE2 REQUIRED IMPORTED_TARGET libpcre2-16)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
pkg_check_modules(DEFLATE REQUIRED IMPORTED_TARGET libdeflate)
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb xcb-shm xcb-xfixes xcb-randr xcb-keysyms xcb-xinput xcb-xtest)
pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET libpulse-simple)
pkg_check_modules(QRENCODE REQUIRED IMPORTED_TARGET libqrencode)

# The Qt and standard headers every translation unit of ours includes, precompiled once per target.
set(PIXHOARD_PCH_CORE <QtCore/QString> <QtCore/QByteArray> <QtCore/QDateTime> <QtCore/QList>
    <QtCore/QObject> <memory> <string> <vector> <functional> <mutex>)

function(pixhoard_library name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${name} STATIC ${_sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS} PRIVATE pixhoard_warnings)
  target_precompile_headers(${name} PRIVATE ${PIXHOARD_PCH_CORE})
endfunction()
