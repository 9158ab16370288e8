# Obtains the panel typeface, Source Han Sans SC Medium (SIL OFL 1.1), from a pinned npm package.
#
# The font is not kept in the repository. The first configure on a machine fetches the package with
# `npm pack`, checks the tarball, takes the one font file out of it and keeps only that file in a
# cache outside the build tree, so later configures, other build trees and fresh clones on the same
# machine use it without fetching again. The cached file is checked on every configure. Anything that
# goes wrong stops the configure with a message naming what is missing; there is no fallback font.
#
# Sets ZARVO_PANEL_TYPEFACE to the absolute path of the verified font file.

set(_zarvo_font_package "node-source-han-sans-sc")
set(_zarvo_font_version "1.1.0-2.001R")
set(_zarvo_font_member "package/SourceHanSansSC-Medium.otf")
set(_zarvo_font_tarball_sha256 "8552be95fc7d70bbcda0fc829b8fc349a071eac20aeff480f1c8dc94b69d09f3")
set(_zarvo_font_sha256 "b6d06ae567c25e347e5f04026179277aab7c2bf495dc4ea88a67a95e365deba7")
set(_zarvo_font_size 17381316)

if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
  set(_zarvo_default_cache "$ENV{XDG_CACHE_HOME}/zarvo-q7tr")
elseif(DEFINED ENV{HOME} AND NOT "$ENV{HOME}" STREQUAL "")
  set(_zarvo_default_cache "$ENV{HOME}/.cache/zarvo-q7tr")
else()
  set(_zarvo_default_cache "${CMAKE_BINARY_DIR}/zarvo-q7tr-cache")
endif()
set(ZARVO_FONT_CACHE_DIR "${_zarvo_default_cache}" CACHE PATH
    "Directory that keeps the panel typeface between builds")

set(_zarvo_font_file "${ZARVO_FONT_CACHE_DIR}/${_zarvo_font_package}-${_zarvo_font_version}/SourceHanSansSC-Medium.otf")

# True in OUT_VAR when FILE exists with the expected size and SHA-256.
function(_zarvo_font_is_valid file out_var)
  set(${out_var} FALSE PARENT_SCOPE)
  if(NOT EXISTS "${file}")
    return()
  endif()
  file(SIZE "${file}" size)
  if(NOT size EQUAL _zarvo_font_size)
    return()
  endif()
  file(SHA256 "${file}" hash)
  if(hash STREQUAL _zarvo_font_sha256)
    set(${out_var} TRUE PARENT_SCOPE)
  endif()
endfunction()

function(_zarvo_font_fail what)
  message(FATAL_ERROR
    "The panel typeface is missing: ${what}\n"
    "The build needs SourceHanSansSC-Medium.otf from the npm package "
    "${_zarvo_font_package}@${_zarvo_font_version} (fetched with `npm pack`, which needs npm and "
    "access to the npm registry on the first build). Alternatively place the verified file at\n"
    "  ${_zarvo_font_file}\n"
    "(size ${_zarvo_font_size} bytes, SHA-256 ${_zarvo_font_sha256}).")
endfunction()

_zarvo_font_is_valid("${_zarvo_font_file}" _zarvo_font_ok)
if(NOT _zarvo_font_ok)
  get_filename_component(_zarvo_font_dir "${_zarvo_font_file}" DIRECTORY)
  file(MAKE_DIRECTORY "${_zarvo_font_dir}")
  # Several build trees may configure at once: one fetches, the others wait and then find the file.
  function(_zarvo_fetch_font)
    file(LOCK "${_zarvo_font_dir}/.lock" GUARD FUNCTION TIMEOUT 1800 RESULT_VARIABLE lock_result)
    if(NOT lock_result STREQUAL "0")
      _zarvo_font_fail("could not lock ${_zarvo_font_dir}/.lock (${lock_result})")
    endif()
    _zarvo_font_is_valid("${_zarvo_font_file}" ok)
    if(ok)
      return()
    endif()

    find_program(ZARVO_NPM npm)
    if(NOT ZARVO_NPM)
      _zarvo_font_fail("the program npm was not found (scripts/setup.sh installs it)")
    endif()

    set(work "${_zarvo_font_dir}/fetch")
    file(REMOVE_RECURSE "${work}")
    file(MAKE_DIRECTORY "${work}")
    message(STATUS "Fetching the panel typeface: npm pack ${_zarvo_font_package}@${_zarvo_font_version} (about 184 MB)")
    execute_process(
      COMMAND "${ZARVO_NPM}" pack --silent "${_zarvo_font_package}@${_zarvo_font_version}"
      WORKING_DIRECTORY "${work}"
      RESULT_VARIABLE npm_result
      OUTPUT_VARIABLE npm_output
      ERROR_VARIABLE npm_error)
    set(tarball "${work}/${_zarvo_font_package}-${_zarvo_font_version}.tgz")
    if(NOT npm_result EQUAL 0 OR NOT EXISTS "${tarball}")
      file(REMOVE_RECURSE "${work}")
      _zarvo_font_fail("`npm pack ${_zarvo_font_package}@${_zarvo_font_version}` failed (${npm_result}): ${npm_error}")
    endif()

    file(SHA256 "${tarball}" tarball_hash)
    if(NOT tarball_hash STREQUAL _zarvo_font_tarball_sha256)
      file(REMOVE_RECURSE "${work}")
      _zarvo_font_fail("the fetched package has SHA-256 ${tarball_hash}, expected ${_zarvo_font_tarball_sha256}")
    endif()

    execute_process(
      COMMAND "${CMAKE_COMMAND}" -E tar xzf "${tarball}" "${_zarvo_font_member}"
      WORKING_DIRECTORY "${work}"
      RESULT_VARIABLE tar_result
      ERROR_VARIABLE tar_error)
    _zarvo_font_is_valid("${work}/${_zarvo_font_member}" ok)
    if(NOT tar_result EQUAL 0 OR NOT ok)
      file(REMOVE_RECURSE "${work}")
      _zarvo_font_fail("${_zarvo_font_member} could not be taken out of the package: ${tar_error}")
    endif()

    file(RENAME "${work}/${_zarvo_font_member}" "${_zarvo_font_file}")
    file(REMOVE_RECURSE "${work}")
  endfunction()
  _zarvo_fetch_font()

  _zarvo_font_is_valid("${_zarvo_font_file}" _zarvo_font_ok)
  if(NOT _zarvo_font_ok)
    _zarvo_font_fail("${_zarvo_font_file} does not have the expected size and SHA-256")
  endif()
endif()

set(ZARVO_PANEL_TYPEFACE "${_zarvo_font_file}")
message(STATUS "Panel typeface: ${ZARVO_PANEL_TYPEFACE}")
