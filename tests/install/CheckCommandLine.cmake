# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers

# Runs the built program with its two options and with arguments it does not
# know, in a scratch portable folder with no display: each must answer on the
# terminal and leave no settings file, no lock and no window behind.
# Run with -DEXE=... -DWORK=... -DVERSION_TEXT=...
cmake_minimum_required(VERSION 3.22)

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/app" "${WORK}/run" "${WORK}/home")
file(COPY "${EXE}" DESTINATION "${WORK}/app")
get_filename_component(name "${EXE}" NAME)
set(copy "${WORK}/app/${name}")

# No display: opening a window would fail loudly.
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})
unset(ENV{QT_QPA_PLATFORM})
set(ENV{XDG_RUNTIME_DIR} "${WORK}/run")
set(ENV{HOME} "${WORK}/home")
set(ENV{XDG_CONFIG_HOME} "${WORK}/home/.config")

set(failures "")
macro(fail text)
  string(APPEND failures "  ${text}\n")
endmacro()

# check(<arguments> <exit code> <regex on stdout> <regex on stderr>)
function(check args code out err)
  execute_process(COMMAND "${copy}" ${args} RESULT_VARIABLE rc OUTPUT_VARIABLE stdout
    ERROR_VARIABLE stderr TIMEOUT 20)
  if(NOT rc STREQUAL "${code}")
    set(failures "${failures}  '${args}' exited with ${rc}, not ${code} (stderr: ${stderr})\n" PARENT_SCOPE)
  endif()
  if(NOT stdout MATCHES "${out}")
    set(failures "${failures}  '${args}' wrote to stdout: '${stdout}'\n" PARENT_SCOPE)
  endif()
  if(NOT stderr MATCHES "${err}")
    set(failures "${failures}  '${args}' wrote to stderr: '${stderr}'\n" PARENT_SCOPE)
  endif()
endfunction()

string(REPLACE "." "\\." version "${VERSION_TEXT}")
set(usage "^Usage: ${name} \\[--help \\| --version\\]\n.*--help .*\n.*--version .*\n$")
check("--version" 0 "^Marulet ${version}\n$" "^$")
check("--help" 0 "${usage}" "^$")
check("--verbose" 2 "^$" "${usage}")
check("-v" 2 "^$" "${usage}")
check("--version;--help" 2 "^$" "${usage}")
check("layout.DAT" 2 "^$" "${usage}")

file(GLOB left RELATIVE "${WORK}" "${WORK}/app/*" "${WORK}/run/*" "${WORK}/home/*" "${WORK}/home/.*")
list(REMOVE_ITEM left "app/${name}")
if(left)
  fail("files were left behind: ${left}")
endif()

if(failures)
  message(FATAL_ERROR "the command line is not answered as it should be:\n${failures}")
endif()
file(REMOVE_RECURSE "${WORK}")
message(STATUS "--help, --version and unknown arguments are answered")
