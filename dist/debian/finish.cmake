# Run by CPack on the staged files before it makes the Debian package: finishes them as Debian's
# own packaging tools would. Programs and modules lose their symbols (a module all but those it is
# loaded by) and the compiler's notes (.comment), manual pages are compressed, and the package's
# changelog and copyright go into its doc folder, its lintian overrides where lintian looks for them.
# It also makes sure dpkg-shlibdeps is there, so that the dependencies carry their versions.

find_program(TORVANE_SHLIBDEPS dpkg-shlibdeps)
if(NOT TORVANE_SHLIBDEPS)
  message(FATAL_ERROR "The Debian package needs dpkg-shlibdeps to name its dependencies with their "
                      "versions: install it with scripts/deps.sh dpkg-dev (as root).")
endif()

set(usr "${CPACK_TEMPORARY_DIRECTORY}/usr")
set(doc "${usr}/share/doc/${CPACK_PACKAGE_NAME}")

file(GLOB programs "${usr}/bin/*")
foreach(program IN LISTS programs)
  execute_process(COMMAND "${CPACK_TORVANE_STRIP}" --remove-section=.comment --remove-section=.note "${program}"
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
# A module keeps the symbols it is loaded by.
file(GLOB_RECURSE modules "${usr}/lib/*.so")
foreach(module IN LISTS modules)
  execute_process(COMMAND "${CPACK_TORVANE_STRIP}" --strip-unneeded --remove-section=.comment --remove-section=.note
                          "${module}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# -n: no name or time stamp in the compressed files, so that the package is reproducible.
file(GLOB_RECURSE pages "${usr}/share/man/*.[1-9]")
foreach(page IN LISTS pages)
  execute_process(COMMAND gzip -9nf "${page}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()

file(MAKE_DIRECTORY "${doc}")
file(COPY_FILE "${CPACK_TORVANE_DEBIAN_DIR}/copyright" "${doc}/copyright")
file(COPY_FILE "${CPACK_TORVANE_CHANGELOG}" "${doc}/changelog.Debian")
execute_process(COMMAND gzip -9nf "${doc}/changelog.Debian" COMMAND_ERROR_IS_FATAL ANY)

file(MAKE_DIRECTORY "${usr}/share/lintian/overrides")
file(COPY_FILE "${CPACK_TORVANE_DEBIAN_DIR}/lintian-overrides" "${usr}/share/lintian/overrides/${CPACK_PACKAGE_NAME}")
