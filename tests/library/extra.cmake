# Programs of the library tests beyond the globbed GoogleTest executables. Included by
# tests/CMakeLists.txt; each section belongs to its own program.

# ---- the game's header alone ----------------------------------------------------------
# One file that sees only library/api: it links the library and the platform without
# taking their include folders, so a library or platform header it included would not
# be found. Built with everything else; the test runs it (it calls nothing unasked).
add_executable(qzapi_header_check ${CMAKE_CURRENT_SOURCE_DIR}/library/header/QzApiHeaderCheck.cpp)
target_include_directories(qzapi_header_check PRIVATE ${CMAKE_SOURCE_DIR}/library/api)
target_compile_options(qzapi_header_check PRIVATE ${QZ_SJIS_FLAGS})
target_link_libraries(qzapi_header_check PRIVATE $<LINK_ONLY:qzlib> $<LINK_ONLY:qzplatform>)
add_test(NAME QzApiHeader.BuildsFromTheGamesHeaderAlone COMMAND qzapi_header_check)
set_tests_properties(QzApiHeader.BuildsFromTheGamesHeaderAlone PROPERTIES LABELS unit ENVIRONMENT "QZ_BACKEND=null")

# The game's message box beside the platform's win32.h: one file includes both.
add_executable(qzapi_dialog_check ${CMAKE_CURRENT_SOURCE_DIR}/library/header/QzApiDialogCheck.cpp)
target_include_directories(qzapi_dialog_check PRIVATE ${CMAKE_SOURCE_DIR}/library/api ${CMAKE_SOURCE_DIR}/platform/include)
add_test(NAME QzApiHeader.DialogBuildsBesideThePlatformHeader COMMAND qzapi_dialog_check)
set_tests_properties(QzApiHeader.DialogBuildsBesideThePlatformHeader PROPERTIES LABELS unit)

# ---- the game's road: in-process, headless and in a window -----------------------------
# The shared road (fixtures, the game's call sequence, the model of what it shows) goes
# into the unit tests, into the driver that runs it as a program of its own, and into the
# checker that runs the driver and reads back what it left. The driver reads the X screen
# with libX11 for the window run (SDL2's development package brings it).
set(QZ_ROAD_DIR ${CMAKE_CURRENT_SOURCE_DIR}/library/road)
pkg_check_modules(QZROADX11 REQUIRED IMPORTED_TARGET x11)
target_sources(library_tests PRIVATE ${QZ_ROAD_DIR}/GameRoad.cpp)
foreach(program game_road_driver game_road_check)
  add_executable(${program} ${QZ_ROAD_DIR}/${program}.cpp ${QZ_ROAD_DIR}/GameRoad.cpp)
  target_compile_options(${program} PRIVATE ${QZ_SJIS_FLAGS})
  target_link_libraries(${program} PRIVATE qztest_support qzlib qzplatform PNG::PNG PkgConfig::VORBIS)
endforeach()
target_link_libraries(game_road_driver PRIVATE PkgConfig::QZROADX11)
# Headless: the driver twice under QZ_BACKEND=null QZ_CLOCK=fast QZ_CAPTURE QZ_MSGBOX=no
# QZ_INPUT (the checker sets them per run); frames, logs and reports stay in game-road/.
add_test(NAME GameRoad.HeadlessRunsMatchTheModelAndEachOther
         COMMAND game_road_check $<TARGET_FILE:game_road_driver> ${CMAKE_CURRENT_BINARY_DIR}/game-road)
set_tests_properties(GameRoad.HeadlessRunsMatchTheModelAndEachOther PROPERTIES LABELS unit TIMEOUT 300)
# In a window on the X display (Xvfb in CI), one at a time like every window test; the
# screenshot stays as game-road/window/window-screenshot.png.
add_test(NAME GameRoad.WindowShowsTheCapturedFrame
         COMMAND game_road_check $<TARGET_FILE:game_road_driver> ${CMAKE_CURRENT_BINARY_DIR}/game-road --window)
set_tests_properties(GameRoad.WindowShowsTheCapturedFrame PROPERTIES LABELS window RESOURCE_LOCK display TIMEOUT 300)
