# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers

# Builds the Debian package from the build folder into a scratch folder and
# runs lintian on it: any error (E:) or warning (W:) fails the check, and the
# whole report, information tags too, is shown.
# Run with -DBUILD_DIR=... -DWORK=... -DCPACK=... -DLINTIAN=...
cmake_minimum_required(VERSION 3.22)

file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND "${CPACK}" -G DEB --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack failed (${result}):\n${output}")
endif()
file(GLOB debs "${WORK}/*.deb")
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "cpack made ${count} packages: ${debs}")
endif()

# No configuration file of the user's: the same tags for everyone.
execute_process(COMMAND "${LINTIAN}" --no-cfg --display-info --tag-display-limit 0 ${debs}
  RESULT_VARIABLE result OUTPUT_VARIABLE report ERROR_VARIABLE errors)
string(REGEX MATCHALL "(^|\n)[EW]: [^\n]*" faults "${report}")
if(faults OR NOT result EQUAL 0)
  message(FATAL_ERROR "lintian (exit ${result}) finds fault with ${debs}:\n${report}${errors}")
endif()
file(REMOVE_RECURSE "${WORK}")
message(STATUS "lintian finds no error and no warning:\n${report}")
