# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers

# Installs the build into a scratch prefix and checks that a desktop finds
# everything where it looks: the program, its launcher entry, its icons in
# every size and its metadata, all naming each other consistently, and its
# manual page.
# Run with -DBUILD_DIR=... -DPREFIX=... -DVERSION=...
cmake_minimum_required(VERSION 3.22)
set(id io.github.marulet.Marulet)

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${result}): ${errors}")
endif()

set(failures "")
macro(fail text)
  string(APPEND failures "  ${text}\n")
endmacro()

if(NOT EXISTS "${PREFIX}/bin/marulet" OR IS_DIRECTORY "${PREFIX}/bin/marulet")
  fail("bin/marulet is missing")
else()
  execute_process(COMMAND test -x "${PREFIX}/bin/marulet" RESULT_VARIABLE notExecutable)
  if(notExecutable)
    fail("bin/marulet is not executable")
  endif()
endif()

set(desktop "${PREFIX}/share/applications/${id}.desktop")
if(NOT EXISTS "${desktop}")
  fail("share/applications/${id}.desktop is missing")
else()
  file(STRINGS "${desktop}" lines)
  foreach(wanted "Exec=marulet" "Icon=${id}")
    if(NOT wanted IN_LIST lines)
      fail("the desktop entry lacks ${wanted}")
    endif()
  endforeach()
endif()

set(metainfo "${PREFIX}/share/metainfo/${id}.metainfo.xml")
if(NOT EXISTS "${metainfo}")
  fail("share/metainfo/${id}.metainfo.xml is missing")
else()
  file(READ "${metainfo}" text)
  foreach(wanted "<id>${id}</id>" "<launchable type=\"desktop-id\">${id}.desktop</launchable>"
          "<binary>marulet</binary>" "<release version=\"${VERSION}\"")
    string(FIND "${text}" "${wanted}" at)
    if(at EQUAL -1)
      fail("the metainfo lacks ${wanted}")
    endif()
  endforeach()
endif()

# Each icon must be a PNG of the size its folder promises: the width and
# height are the big-endian words at bytes 16 and 20 of the IHDR chunk.
foreach(size 16 32 48 64 128 256)
  set(icon "${PREFIX}/share/icons/hicolor/${size}x${size}/apps/${id}.png")
  if(NOT EXISTS "${icon}")
    fail("the ${size}x${size} icon is missing")
    continue()
  endif()
  file(READ "${icon}" head LIMIT 24 HEX)
  string(SUBSTRING "${head}" 0 16 signature)
  string(SUBSTRING "${head}" 32 8 width)
  string(SUBSTRING "${head}" 40 8 height)
  math(EXPR width "0x${width}")
  math(EXPR height "0x${height}")
  if(NOT signature STREQUAL "89504e470d0a1a0a")
    fail("the ${size}x${size} icon is not a PNG file")
  elseif(NOT width EQUAL size OR NOT height EQUAL size)
    fail("the ${size}x${size} icon is ${width}x${height}")
  endif()
endforeach()

# The manual page, where man looks, and the licence beside the help pages.
foreach(file share/man/man1/marulet.1.gz share/doc/marulet/copyright)
  if(NOT EXISTS "${PREFIX}/${file}")
    fail("${file} is missing")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "install into ${PREFIX} is incomplete:\n${failures}")
endif()
message(STATUS "install into ${PREFIX} is complete")
