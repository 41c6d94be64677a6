# Install-time part of VelamarisInstall.cmake: writes the desktop entries
# with the programs' paths under the prefix in use, and lists them in the
# install manifest. Expects VELAMARIS_ENTRY_SOURCE_DIR, VELAMARIS_BINDIR and
# VELAMARIS_DATADIR.

get_filename_component(prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)

# A program path as an Exec value: quoted, with the characters that the
# desktop entry format reserves inside quotes escaped, when it needs quoting.
function(velamaris_exec_value path out)
  if(path MATCHES "[ \t\"'\\\\$`<>~|&;*?#()]")
    string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" path "${path}")
    set(path "\"${path}\"")
  endif()
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

velamaris_exec_value("${prefix}/${VELAMARIS_BINDIR}/Tidemart" VELAMARIS_EXEC_TIDEMART)
velamaris_exec_value("${prefix}/${VELAMARIS_BINDIR}/VelamarisChecker" VELAMARIS_EXEC_CHECKER)
# An autostart entry left behind by a removal (it is a configuration file)
# starts nothing once the program is gone.
set(VELAMARIS_TRYEXEC_CHECKER "${prefix}/${VELAMARIS_BINDIR}/VelamarisChecker")

# As GNUInstallDirs has it: the prefix /usr keeps its configuration in /etc.
if(prefix STREQUAL "/usr")
  set(autostart_dir "/etc/xdg/autostart")
else()
  set(autostart_dir "${prefix}/etc/xdg/autostart")
endif()

set(entries
  "velamaris-tidemart.desktop|${prefix}/${VELAMARIS_DATADIR}/applications"
  "velamaris-checker.desktop|${autostart_dir}")
foreach(entry ${entries})
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 folder)
  set(target "$ENV{DESTDIR}${folder}/${name}")
  message(STATUS "Installing: ${target}")
  configure_file("${VELAMARIS_ENTRY_SOURCE_DIR}/${name}.in" "${target}" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${target}")
endforeach()

# A package leaves this to the desktop database's own trigger; an install
# into a folder registers the "velscheme" handler at once.
if("$ENV{DESTDIR}" STREQUAL "")
  find_program(VELAMARIS_UPDATE_DESKTOP_DATABASE update-desktop-database)
  if(VELAMARIS_UPDATE_DESKTOP_DATABASE)
    execute_process(COMMAND "${VELAMARIS_UPDATE_DESKTOP_DATABASE}" "${prefix}/${VELAMARIS_DATADIR}/applications")
  endif()
endif()
