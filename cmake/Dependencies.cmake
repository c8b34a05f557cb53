# Every package the build looks for. The two programs need Qt (with QtDBus), libcurl,
# libturbojpeg and xcb; the tests, benchmarks and demo tools need more, and
# only when they are built.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets DBus)
find_package(PkgConfig REQUIRED)
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(TURBOJPEG REQUIRED IMPORTED_TARGET libturbojpeg)

# Qt's Japanese texts, built into the programs (package qt6-translations-l10n).
find_file(VANTORA_QTBASE_JA qtbase_ja.qm
  HINTS "${Qt6_DIR}/../../../../share/qt6/translations" PATHS /usr/share/qt6/translations NO_DEFAULT_PATH)

if(VANTORA_BUILD_TOOLS)
  pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
endif()
if(VANTORA_BUILD_TESTS OR VANTORA_BUILD_BENCH)
  find_package(Qt6 REQUIRED COMPONENTS Test)
endif()
if(VANTORA_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(VANTORA_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
