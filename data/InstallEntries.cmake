# Runs at install time, so that the desktop entries and the launchers point
# at the prefix given to `cmake --install --prefix` (or the package's /usr),
# and DESTDIR (a package's staging folder) is honoured.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(VANTORA_PROGRAM_DIR "${CMAKE_INSTALL_PREFIX}/lib/vantora")
foreach(entry vantora listmender)
  message(STATUS "Installing: ${root}/share/applications/${entry}.desktop")
  configure_file("${VANTORA_DATA_SOURCE}/${entry}.desktop.in" "${root}/share/applications/${entry}.desktop" @ONLY)
endforeach()
# Relative links: the programs find their folder through /proc/self/exe,
# which names the file a link points at.
file(MAKE_DIRECTORY "${root}/bin")
foreach(program Vantomon Listmender)
  string(TOLOWER ${program} launcher)
  message(STATUS "Installing: ${root}/bin/${launcher}")
  file(CREATE_LINK "../lib/vantora/${program}" "${root}/bin/${launcher}" SYMBOLIC)
endforeach()
