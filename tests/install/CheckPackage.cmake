# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers

# Builds the Debian package from the build folder into a scratch folder,
# unpacks it with dpkg-deb and checks what a user's system would get: its
# name, its control fields, every file under /usr, its changelog, the
# program's hardening, and that the unpacked program starts far enough to
# tell its version.
# Run with -DBUILD_DIR=... -DWORK=... -DVERSION=... -DVERSION_TEXT=... -DCPACK=...
# -DHARDENED=ON|OFF (built with the hardening flags) -DFORTIFIED=1|0 (and optimised)
cmake_minimum_required(VERSION 3.22)
set(id io.github.marulet.Marulet)

file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND "${CPACK}" -G DEB --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack failed (${result}):\n${output}")
endif()

execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE arch OUTPUT_STRIP_TRAILING_WHITESPACE)
set(deb "${WORK}/marulet_${VERSION}_${arch}.deb")
if(NOT EXISTS "${deb}")
  file(GLOB made "${WORK}/*.deb")
  message(FATAL_ERROR "marulet_${VERSION}_${arch}.deb was not made; cpack made: ${made}")
endif()

set(failures "")
macro(fail text)
  string(APPEND failures "  ${text}\n")
endmacro()

# The control fields.
execute_process(COMMAND dpkg-deb -f "${deb}" OUTPUT_VARIABLE control RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  fail("dpkg-deb cannot read the control fields")
endif()
foreach(wanted "Package: marulet" "Version: ${VERSION}" "Architecture: ${arch}" "Section: sound")
  if(NOT control MATCHES "(^|\n)${wanted}\n")
    fail("the control fields lack '${wanted}'")
  endif()
endforeach()
if(NOT control MATCHES "\nMaintainer: [^\n<]+ <[^@\n>]+@[^\n>]+>\n")
  fail("the maintainer is not a name with an address")
endif()
# A one-line summary, then a longer text on indented lines.
if(NOT control MATCHES "\nDescription: [^\n]+\n [^\n]+\n")
  fail("the description has no summary and long text")
endif()
string(REGEX MATCH "\nDepends: [^\n]*" depends "${control}")
# The soundfont as one alternative, and the shared libraries' packages.
foreach(wanted "timgm6mb-soundfont \\| fluid-soundfont-gm" "libqt6widgets6" "libfluidsynth" "librtmidi"
        "libc6")
  if(NOT depends MATCHES "${wanted}")
    fail("Depends lacks ${wanted}: ${depends}")
  endif()
endforeach()

# The files: all under /usr, each where a desktop looks for it.
execute_process(COMMAND dpkg-deb -c "${deb}" OUTPUT_VARIABLE listing)
string(REGEX MATCHALL " \\./[^\n]*" paths "${listing}")
foreach(path IN LISTS paths)
  if(NOT path MATCHES "^ \\./(usr/.*)?$")
    fail("${path} lies outside /usr")
  endif()
endforeach()
set(root "${WORK}/root")
execute_process(COMMAND dpkg-deb -x "${deb}" "${root}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  fail("dpkg-deb -x failed")
endif()
set(files
  usr/bin/marulet
  usr/share/applications/${id}.desktop
  usr/share/metainfo/${id}.metainfo.xml
  usr/share/doc/marulet/help/index.html
  usr/share/doc/marulet/copyright
  usr/share/doc/marulet/changelog.gz
  usr/share/man/man1/marulet.1.gz)
foreach(size 16 32 48 64 128 256)
  list(APPEND files usr/share/icons/hicolor/${size}x${size}/apps/${id}.png)
endforeach()
foreach(file IN LISTS files)
  if(NOT EXISTS "${root}/${file}")
    fail("${file} is missing")
  endif()
endforeach()

# The changelog names this very version. It and the man page are compressed
# the reproducible way: no flags (no file name) and no time stamp in the
# gzip header.
set(changelog "${root}/usr/share/doc/marulet/changelog.gz")
if(EXISTS "${changelog}")
  execute_process(COMMAND gzip -dc "${changelog}" OUTPUT_VARIABLE text)
  if(NOT text MATCHES "^marulet \\(${VERSION}\\) ")
    fail("the changelog does not begin with version ${VERSION}: ${text}")
  endif()
endif()
foreach(file usr/share/doc/marulet/changelog.gz usr/share/man/man1/marulet.1.gz)
  if(EXISTS "${root}/${file}")
    file(READ "${root}/${file}" header LIMIT 8 HEX)
    if(NOT header STREQUAL "1f8b080000000000")
      fail("${file} has a gzip header with a name or a time stamp: ${header}")
    endif()
  endif()
endforeach()

# Hardened as Debian's own programs: relocations read-only and bound at
# start, the stack protector, and fortified library calls.
if(HARDENED)
  execute_process(COMMAND readelf -lW "${root}/usr/bin/marulet" OUTPUT_VARIABLE segments)
  execute_process(COMMAND readelf -dW "${root}/usr/bin/marulet" OUTPUT_VARIABLE dynamic)
  execute_process(COMMAND readelf --dyn-syms -W "${root}/usr/bin/marulet" OUTPUT_VARIABLE symbols)
  if(NOT segments MATCHES "GNU_RELRO")
    fail("usr/bin/marulet has no read-only relocations (-z relro)")
  endif()
  if(NOT dynamic MATCHES "BIND_NOW|FLAGS_1[^
]*NOW")
    fail("usr/bin/marulet does not bind at start (-z now)")
  endif()
  if(NOT symbols MATCHES "__stack_chk_fail")
    fail("usr/bin/marulet has no stack protector")
  endif()
  if(FORTIFIED AND NOT symbols MATCHES "__[a-z]+_chk@")
    fail("usr/bin/marulet calls no fortified function (-D_FORTIFY_SOURCE)")
  endif()
endif()

# The unpacked program, stripped, still answers.
execute_process(COMMAND "${root}/usr/bin/marulet" --version RESULT_VARIABLE result
  OUTPUT_VARIABLE version TIMEOUT 20)
if(NOT result EQUAL 0 OR NOT version STREQUAL "Marulet ${VERSION_TEXT}\n")
  fail("usr/bin/marulet --version exited with ${result} and said '${version}'")
endif()
execute_process(COMMAND file "${root}/usr/bin/marulet" OUTPUT_VARIABLE kind)
if(kind MATCHES "not stripped")
  fail("usr/bin/marulet is not stripped")
endif()

if(failures)
  message(FATAL_ERROR "${deb} is not right:\n${failures}\ncontrol:\n${control}")
endif()
file(REMOVE_RECURSE "${WORK}")
message(STATUS "the package is complete:\n${control}")
