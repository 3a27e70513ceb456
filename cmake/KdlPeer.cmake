# The humanoid as an Orocos KDL tree: KDL doing one solver iteration's work,
# a peer to time our solver against. Shared by the benchmarks and the tests.
include_guard(GLOBAL)

# Debian's package config gives variables only (no imported target):
# orocos_kdl_LIBRARIES is the bare library name, orocos_kdl_INCLUDE_DIRS
# Eigen's directory, which the KDL headers need.
find_package(orocos_kdl REQUIRED)

add_library(mannequin_kdl_peer STATIC ${CMAKE_CURRENT_LIST_DIR}/../bench/KdlHumanoid.cpp)
# SYSTEM: -Wall -Wextra are for our code, not for Eigen's.
target_include_directories(mannequin_kdl_peer SYSTEM PUBLIC ${orocos_kdl_INCLUDE_DIRS})
target_link_libraries(mannequin_kdl_peer PUBLIC mannequin_core ${orocos_kdl_LIBRARIES})
