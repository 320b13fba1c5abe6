# Installing combinaciones as a desktop program, and packing it as a .deb.
#
#   cmake --install <build> --prefix <dir>     bin/, share/applications/, share/man/,
#                                              share/doc/combinaciones/ (copyright, changelog)
#   cpack -G DEB  (in the build directory)     combinaciones_<version>_<arch>.deb for /usr

set(packaging_dir ${CMAKE_CURRENT_LIST_DIR})
set(packaging_out ${CMAKE_CURRENT_BINARY_DIR}/packaging)

# The manual pages carry the version; Debian ships them and the changelog gzip-compressed,
# and -n keeps the compressed files free of time stamps so that two builds give the same
# package.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(compressed "")
foreach(file IN ITEMS combinaciones.6 combinaciones.es.6 changelog)
  if(file STREQUAL "changelog")
    configure_file(${packaging_dir}/${file} ${packaging_out}/${file} COPYONLY)
  else()
    configure_file(${packaging_dir}/${file} ${packaging_out}/${file} @ONLY)
  endif()
  add_custom_command(
    OUTPUT ${packaging_out}/${file}.gz
    COMMAND ${GZIP_PROGRAM} -9n -c ${packaging_out}/${file} > ${packaging_out}/${file}.gz
    DEPENDS ${packaging_out}/${file}
    COMMENT "Compressing ${file}"
    VERBATIM)
  list(APPEND compressed ${packaging_out}/${file}.gz)
endforeach()
add_custom_target(manual_pages ALL DEPENDS ${compressed})

install(FILES ${packaging_dir}/combinaciones.desktop DESTINATION share/applications)
install(FILES ${packaging_out}/combinaciones.6.gz DESTINATION share/man/man6)
install(FILES ${packaging_out}/combinaciones.es.6.gz DESTINATION share/man/es/man6
        RENAME combinaciones.6.gz)
install(FILES ${packaging_dir}/copyright ${packaging_out}/changelog.gz
        DESTINATION share/doc/combinaciones)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME combinaciones)
set(CPACK_PACKAGE_VENDOR "combinaciones")
set(CPACK_PACKAGE_CONTACT "Combinaciones maintainers <maintainers@combinaciones.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "list every combination of six numbers from 1 to n")
# CPack puts the summary above this as the first line of the Description field.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "combinaciones opens an 800x600 text screen, full screen or in a window, asks
for the number of elements n and writes every combination of six numbers from
1 to n in lexicographic order, page after page, then shows how many there are
and how long the listing took. The space bar stops the listing; Alt+Enter
switches between full screen and window. The program's texts are in Spanish.

En español: combinaciones abre una pantalla de texto de 800x600, a pantalla
completa o en una ventana, pide el número de elementos n y escribe todas las
combinaciones de seis números de 1 a n en orden lexicográfico, página tras
página; después muestra cuántas hay y cuánto tardó el listado. La barra
espaciadora detiene el listado; Alt+Intro cambia entre pantalla completa y
ventana.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# Section math: Debian keeps the programs of section games in /usr/games, and this one
# belongs in /usr/bin with the other desktop programs.
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# combinaciones_<version>_<arch>.deb; the architecture comes from dpkg.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# dpkg-shlibdeps (from dpkg-dev) works the dependencies out of the executable: SDL2
# (libsdl2-2.0-0), the C and C++ runtimes.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Only the program: the tests and benchmarks install nothing, and the unit of the
# package is the whole install.
set(CPACK_DEB_COMPONENT_INSTALL OFF)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")
include(CPack)
