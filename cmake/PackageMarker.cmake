# Run by CPack after it has installed the files to package, before it packs
# them: the package's program folder gets the file that tells the programs
# they are installed (ProgramDirectory.h), so every user's files, root's
# included, go to that user's data folder and never beside the programs.
# A folder installed with `cmake --install` gets none: it is portable.
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/lib/vantora/Vantomon")
if(NOT programs)
  message(FATAL_ERROR "no lib/vantora/Vantomon under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(program ${programs})
  get_filename_component(folder "${program}" DIRECTORY)
  file(WRITE "${folder}/.vantora-package"
    "This folder belongs to the vantora package: each user's settings and lists live in that user's\n"
    "$XDG_DATA_HOME/vantora (by default ~/.local/share/vantora), never here.\n")
endforeach()
