find_package(Qt6 REQUIRED COMPONENTS Widgets Svg PrintSupport Test)
find_package(GTest REQUIRED)
include(${CMAKE_CURRENT_LIST_DIR}/FileFormatDependencies.cmake)
