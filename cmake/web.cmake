# web.cmake -- the web page's targets (emscripten): kerv16.js and kerv16.wasm, the data package, index.html,
# and kerv16-cellsum for Node, which checks the page's engine against the Linux build frame by frame.
#
# Debian's emscripten builds offline with its prebuilt system libraries: no ports, no closure compiler,
# and no HTML of its own (index.html is ours).

# WebAssembly's 128-bit vectors (every current browser has them) let the compiler vectorise the pixel
# loops as it does with SSE2 natively.
target_compile_options(kerv16_engine PUBLIC -msimd128)
set(KERV_WEB_LINK_OPTIONS -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=64MB)

add_executable(kerv16 src/demo/main_web.cpp)
target_link_libraries(kerv16 PRIVATE kerv16_engine)
# The data package (kerv16.data) holds data/ as the Linux build made it, soundtrack included; the
# page's script fetches it before the show starts. A change to data/ needs a new link, hence the
# dependency on the folder's files.
set(KERV_WEB_DATA_DIR "${KERV_HOST_BUILD}/data" CACHE PATH "the data/ folder packed with the page")
file(GLOB KERV_WEB_DATA CONFIGURE_DEPENDS ${KERV_WEB_DATA_DIR}/*)
target_link_options(kerv16 PRIVATE ${KERV_WEB_LINK_OPTIONS} -sENVIRONMENT=web
  -sEXPORTED_FUNCTIONS=_main,_web_start,_web_again,_web_key,_web_stat
  "--preload-file=${KERV_WEB_DATA_DIR}@/data")
set_target_properties(kerv16 PROPERTIES SUFFIX ".js" LINK_DEPENDS "${KERV_WEB_DATA}")
configure_file(${CMAKE_SOURCE_DIR}/src/platform/web/index.html ${CMAKE_BINARY_DIR}/index.html COPYONLY)

# For Node, reading the files of the folder it runs in.
add_executable(kerv16-cellsum tools/cellsum/cellsum.cpp)
target_link_libraries(kerv16-cellsum PRIVATE kerv16_engine)
target_link_options(kerv16-cellsum PRIVATE ${KERV_WEB_LINK_OPTIONS} -sENVIRONMENT=node -sNODERAWFS=1)
set_target_properties(kerv16-cellsum PROPERTIES SUFFIX ".js")
