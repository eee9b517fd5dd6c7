# The user manual: HTML pages per language in docs/manual/<lang>/ with their style sheet, and the
# screenshots of docs/. The build lays them out in build/manual/ beside the program
# (<lang>/index.html, style.css, images/); the package installs the same tree as
# share/doc/orbis-utility/.
file(GLOB MANUAL_PAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/manual/*/*.html
     ${CMAKE_SOURCE_DIR}/docs/manual/*.css)
file(GLOB MANUAL_IMAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/*.png)
set(MANUAL_OUTPUTS)
foreach(src ${MANUAL_PAGES})
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/docs/manual ${src})
  set(out ${CMAKE_BINARY_DIR}/manual/${rel})
  add_custom_command(OUTPUT ${out} COMMAND ${CMAKE_COMMAND} -E copy ${src} ${out} DEPENDS ${src})
  list(APPEND MANUAL_OUTPUTS ${out})
  get_filename_component(dir ${rel} DIRECTORY)
  install(FILES ${src} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orbis-utility/${dir})
endforeach()
foreach(src ${MANUAL_IMAGES})
  get_filename_component(name ${src} NAME)
  set(out ${CMAKE_BINARY_DIR}/manual/images/${name})
  add_custom_command(OUTPUT ${out} COMMAND ${CMAKE_COMMAND} -E copy ${src} ${out} DEPENDS ${src})
  list(APPEND MANUAL_OUTPUTS ${out})
endforeach()
install(FILES ${MANUAL_IMAGES} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orbis-utility/images)
add_custom_target(manual ALL DEPENDS ${MANUAL_OUTPUTS})
foreach(target orbis-utility test_app)
  if(TARGET ${target})
    add_dependencies(${target} manual)
  endif()
endforeach()
