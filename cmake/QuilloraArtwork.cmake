# Pictures are kept as SVG and rendered when building, so the repository holds
# only sources and every size comes out sharp.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
# Debian names ImageMagick 6's tool convert-im6.q16; plain convert may be a wrapper.
find_program(IMAGEMAGICK_CONVERT NAMES convert-im6.q16 convert REQUIRED)

# Pictures are drawn at their size on a 1.0 screen and rendered four times as
# large: twice the largest window scale (2.0), so they stay sharp when scaled.
set(QUILLORA_ART_ZOOM 4)

# quillora_render_svg(<svg> <png> [ZOOM z | WIDTH w])
function(quillora_render_svg svg png)
  cmake_parse_arguments(R "" "ZOOM;WIDTH" "" ${ARGN})
  if(R_WIDTH)
    set(size --width=${R_WIDTH} --height=${R_WIDTH})
  elseif(R_ZOOM)
    set(size --zoom=${R_ZOOM})
  else()
    set(size --zoom=${QUILLORA_ART_ZOOM})
  endif()
  get_filename_component(dir ${png} DIRECTORY)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${RSVG_CONVERT} ${size} --output ${png} ${svg}
    DEPENDS ${svg}
    COMMENT "Rendering ${png}"
    VERBATIM)
endfunction()

# Resource entries are collected in the calling directory's QUILLORA_ART_ENTRIES
# (qrc lines) and QUILLORA_ART_DEPENDS (files), then compiled by quillora_add_artwork.

# quillora_art_pictures(<resource dir> <svg dir> <stems...>): renders
# <svg dir>/<stem>.svg and files it as ":/<resource dir>/<stem>.png".
function(quillora_art_pictures prefix svgdir)
  foreach(stem IN LISTS ARGN)
    set(png ${CMAKE_CURRENT_BINARY_DIR}/art/${prefix}/${stem}.png)
    quillora_render_svg(${svgdir}/${stem}.svg ${png})
    quillora_art_file(${prefix}/${stem}.png ${png})
  endforeach()
  set(QUILLORA_ART_ENTRIES "${QUILLORA_ART_ENTRIES}" PARENT_SCOPE)
  set(QUILLORA_ART_DEPENDS "${QUILLORA_ART_DEPENDS}" PARENT_SCOPE)
endfunction()

# quillora_art_file(<resource path> <file>): files <file> as ":/<resource path>".
macro(quillora_art_file alias path)
  string(APPEND QUILLORA_ART_ENTRIES "  <file alias=\"${alias}\">${path}</file>\n")
  list(APPEND QUILLORA_ART_DEPENDS ${path})
endmacro()

# quillora_add_artwork(TARGET <lib> NAME <rcc name> SOURCES <files...>)
# Compiles the collected entries into the static library <lib>. Static linking
# drops resources nobody refers to, so one of SOURCES must call
# Q_INIT_RESOURCE(<rcc name>) and the program must call that function.
function(quillora_add_artwork)
  cmake_parse_arguments(A "" "TARGET;NAME" "SOURCES" ${ARGN})
  set(qrc ${CMAKE_CURRENT_BINARY_DIR}/${A_NAME}.qrc)
  file(CONFIGURE OUTPUT ${qrc} CONTENT
    "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/\">\n${QUILLORA_ART_ENTRIES}</qresource>\n</RCC>\n")
  set(cpp ${CMAKE_CURRENT_BINARY_DIR}/qrc_${A_NAME}.cpp)
  add_custom_command(OUTPUT ${cpp}
    COMMAND Qt5::rcc --name ${A_NAME} --output ${cpp} ${qrc}
    DEPENDS ${qrc} ${QUILLORA_ART_DEPENDS}
    VERBATIM)
  set_source_files_properties(${cpp} PROPERTIES SKIP_AUTOGEN ON)
  add_library(${A_TARGET} STATIC ${A_SOURCES} ${cpp})
  target_include_directories(${A_TARGET} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${A_TARGET} PUBLIC Qt5::Core)
endfunction()

# quillora_gif(<png frames...> OUTPUT <gif> DELAY <centiseconds>)
# Joins rendered frames into a looping GIF. GIF has no partial transparency, so
# the edges are cut at half opacity; QMovie's smooth scaling softens them again.
function(quillora_gif)
  cmake_parse_arguments(G "" "OUTPUT;DELAY" "FRAMES" ${ARGN})
  add_custom_command(OUTPUT ${G_OUTPUT}
    COMMAND ${IMAGEMAGICK_CONVERT} -delay ${G_DELAY} -loop 0 -dispose Background ${G_FRAMES}
            -channel A -threshold 50% +channel ${G_OUTPUT}
    DEPENDS ${G_FRAMES}
    COMMENT "Animating ${G_OUTPUT}"
    VERBATIM)
endfunction()
