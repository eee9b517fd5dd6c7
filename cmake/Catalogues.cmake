# The translation catalogues: the templates are extracted from the sources at build time,
# each language's catalogue (po/<domain>/<lang>.po) is merged with its template and compiled
# into <build>/locale/<lang>/LC_MESSAGES/<domain>.mo, where the program finds it when run from
# the build folder; installed, the same tree goes to share/locale.
find_program(XGETTEXT_PROGRAM xgettext)
find_program(MSGMERGE_PROGRAM msgmerge)
find_program(MSGFMT_PROGRAM msgfmt)
if(NOT XGETTEXT_PROGRAM OR NOT MSGMERGE_PROGRAM OR NOT MSGFMT_PROGRAM)
  message(WARNING "gettext tools not found: no translation catalogues are built")
  return()
endif()

file(GLOB_RECURSE TEXT_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/comm/*.cpp ${CMAKE_SOURCE_DIR}/comm/*.h
  ${CMAKE_SOURCE_DIR}/models/*.cpp ${CMAKE_SOURCE_DIR}/models/*.h
  ${CMAKE_SOURCE_DIR}/shell/*.cpp ${CMAKE_SOURCE_DIR}/shell/*.h
  ${CMAKE_SOURCE_DIR}/pages/*.cpp ${CMAKE_SOURCE_DIR}/pages/*.h
  ${CMAKE_SOURCE_DIR}/app/*.cpp ${CMAKE_SOURCE_DIR}/app/*.h
  ${CMAKE_SOURCE_DIR}/cli/*.cpp ${CMAKE_SOURCE_DIR}/cli/*.h)

set(CATALOGUE_FILES)
foreach(domain default cport)
  set(pot ${CMAKE_BINARY_DIR}/po/${domain}.pot)
  add_custom_command(OUTPUT ${pot}
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/texts.sh ${domain} ${pot}
    DEPENDS ${TEXT_SOURCES} ${CMAKE_SOURCE_DIR}/scripts/texts.sh
    COMMENT "Extracting the texts of domain ${domain}"
    VERBATIM)
  file(GLOB PO_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/po/${domain}/*.po)
  foreach(po ${PO_FILES})
    get_filename_component(lang ${po} NAME_WE)
    set(merged ${CMAKE_BINARY_DIR}/po/${domain}-${lang}.po)
    set(mo ${CMAKE_BINARY_DIR}/locale/${lang}/LC_MESSAGES/${domain}.mo)
    # No fuzzy guesses: a text without its own translation shows as written.
    add_custom_command(OUTPUT ${mo}
      COMMAND ${MSGMERGE_PROGRAM} --quiet --no-fuzzy-matching --no-wrap -o ${merged} ${po} ${pot}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/locale/${lang}/LC_MESSAGES
      COMMAND ${MSGFMT_PROGRAM} --check-format -o ${mo} ${merged}
      DEPENDS ${po} ${pot}
      COMMENT "Compiling the ${lang} catalogue of domain ${domain}"
      VERBATIM)
    list(APPEND CATALOGUE_FILES ${mo})
  endforeach()
endforeach()
add_custom_target(catalogues ALL DEPENDS ${CATALOGUE_FILES})
install(DIRECTORY ${CMAKE_BINARY_DIR}/locale/ DESTINATION ${CMAKE_INSTALL_LOCALEDIR})
