# Runs in CPack on the staged package tree before the .deb is made: what
# Debian's helpers add to a package built with debhelper. The binaries are
# stripped as dh_strip does (.comment and .note go too), the copyright and
# the changelog go to /usr/share/doc/tarko, the lintian overrides beside.
set(root ${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
if(NOT EXISTS ${root}/bin/tarko)
  message(FATAL_ERROR "stage.cmake: no ${root}/bin/tarko")
endif()
foreach(program tarko tarko-run)
  execute_process(COMMAND ${CPACK_TARKO_STRIP} --remove-section=.comment --remove-section=.note
                          ${root}/bin/${program} COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# The changelog's newest entry must be this version.
file(STRINGS ${CPACK_TARKO_DEBIAN_DIR}/changelog top LIMIT_COUNT 1)
if(NOT top MATCHES "^tarko \\(${CPACK_PACKAGE_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog starts with '${top}', not version ${CPACK_PACKAGE_VERSION}")
endif()

set(doc ${root}/share/doc/tarko)
file(MAKE_DIRECTORY ${doc} ${root}/share/lintian/overrides)
file(COPY_FILE ${CPACK_TARKO_DEBIAN_DIR}/copyright ${doc}/copyright)
execute_process(COMMAND gzip -9 -n -c ${CPACK_TARKO_DEBIAN_DIR}/changelog
                OUTPUT_FILE ${doc}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
file(COPY_FILE ${CPACK_TARKO_DEBIAN_DIR}/lintian-overrides ${root}/share/lintian/overrides/tarko)
file(CHMOD ${doc}/copyright ${doc}/changelog.gz ${root}/share/lintian/overrides/tarko
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
