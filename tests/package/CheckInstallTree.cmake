# cmake -DBUILD_DIR=<build> -DDEST=<scratch folder> -P CheckInstallTree.cmake
# Installs the build with the prefix a package uses into DEST, then checks the tree: the three
# programs run, each has its manual page, and the desktop entry, icon, demo library, README,
# licence and the USB instrument's udev rule are in place.
file(REMOVE_RECURSE "${DEST}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${DEST} ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
  RESULT_VARIABLE installed OUTPUT_QUIET ERROR_VARIABLE install_errors)
if(NOT installed EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${install_errors}")
endif()

set(root "${DEST}/usr")
set(expected
  bin/zorvik-halden bin/zorvikctl bin/zorvik-sim
  share/man/man1/zorvik-halden.1 share/man/man1/zorvikctl.1 share/man/man1/zorvik-sim.1
  share/applications/zorvik-halden.desktop
  share/icons/hicolor/scalable/apps/zorvik-halden.svg
  share/zorvik-halden/demo/zorvik/help.html
  "share/zorvik-halden/demo/zorvik/syx/Factory default.syx"
  share/doc/zorvik-halden/README.md share/doc/zorvik-halden/LICENSE
  lib/udev/rules.d/70-zorvik-halden.rules)
foreach(file IN LISTS expected)
  if(NOT EXISTS "${root}/${file}")
    message(FATAL_ERROR "missing from the installed tree: ${file}")
  endif()
endforeach()
# Nothing a build leaves beside the programs (tests, benchmarks) goes into the package.
file(GLOB programs RELATIVE "${root}/bin" "${root}/bin/*")
list(SORT programs)
if(NOT programs STREQUAL "zorvik-halden;zorvik-sim;zorvikctl")
  message(FATAL_ERROR "unexpected programs in bin/: ${programs}")
endif()

# The udev rule gives the seat's user the Zorvik USB devices, and nothing else.
file(READ "${root}/lib/udev/rules.d/70-zorvik-halden.rules" rule)
if(NOT rule MATCHES "SUBSYSTEM==\"usb\"" OR NOT rule MATCHES "ATTR\{product\}==\"\*\[Zz\]\[Oo\]\[Rr\]\[Vv\]\[Ii\]\[Kk\]\*\"" OR NOT rule MATCHES "TAG\+=\"uaccess\"")
  message(FATAL_ERROR "the udev rule does not give the seat's user the Zorvik USB devices: ${rule}")
endif()

# Each manual page names its program.
foreach(program zorvik-halden zorvikctl zorvik-sim)
  file(READ "${root}/share/man/man1/${program}.1" page)
  string(TOUPPER "${program}" title)
  if(NOT page MATCHES "^\\.TH ${title} 1 " OR NOT page MATCHES "\\.SH NAME\n${program} \\\\-")
    message(FATAL_ERROR "${program}.1 does not name ${program} in section 1")
  endif()
endforeach()

# The installed programs run from there; their help names the options the manual pages describe.
# A scratch home keeps them off the user's library.
set(home "${DEST}/home")
file(MAKE_DIRECTORY "${home}")
foreach(program zorvik-halden zorvik-sim)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env HOME=${home} XDG_DATA_HOME=${home}/data
                          "${root}/bin/${program}" --help
                  RESULT_VARIABLE code OUTPUT_VARIABLE help ERROR_VARIABLE help_errors)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${program} --help failed (${code}): ${help_errors}")
  endif()
  if(program STREQUAL "zorvik-halden" AND NOT (help MATCHES "--library <DIR>" AND help MATCHES "--audio-driver <NAME>"))
    message(FATAL_ERROR "zorvik-halden --help does not list --library and --audio-driver: ${help}")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E env HOME=${home} XDG_DATA_HOME=${home}/data "${root}/bin/zorvikctl"
                RESULT_VARIABLE code OUTPUT_QUIET ERROR_VARIABLE usage)
if(NOT code EQUAL 1 OR usage STREQUAL "")
  message(FATAL_ERROR "zorvikctl without a command should print its usage and exit 1 (${code}): ${usage}")
endif()

# The installed editor's first start in an empty home, started from there as the desktop menu
# does, fills the user's library from the copy the program carries.
if(UNIX)
  set(library "${home}/.local/share/zorvik-halden/zorvik")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=XDG_DATA_HOME HOME=${home}
            sh -c "cd \"$HOME\" && \"$0\" & pid=$!; i=0; \
                   while [ $i -lt 300 ] && [ ! -f \"$1/help.html\" ]; do sleep 0.1; i=$((i+1)); done; \
                   sleep 0.5; kill $pid; wait $pid 2>/dev/null; [ -f \"$1/help.html\" ]"
            "${root}/bin/zorvik-halden" "${library}"
    RESULT_VARIABLE code ERROR_VARIABLE start_errors)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "the installed editor did not fill ${library} (${code}): ${start_errors}")
  endif()
  foreach(file "syx/Factory default.syx" "mid/pad-groove.mid" "csf/waltz-style.csf" "Curve/Linear.crv")
    if(NOT EXISTS "${library}/${file}")
      message(FATAL_ERROR "the first start did not copy ${file}")
    endif()
  endforeach()
  if(NOT IS_DIRECTORY "${library}/bin")
    message(FATAL_ERROR "the first start did not make the bin/ folder")
  endif()
endif()
message(STATUS "installed tree in ${DEST} is complete")
