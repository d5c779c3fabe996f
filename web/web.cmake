# The browser page: the same layers built by Emscripten, with the *_web.cpp back ends, into
# kavaro.html, kavaro.js, kavaro.wasm, kavaro.worker.js and the presets as kavaro.data.
#
# The runtime's threads are the page's Web Workers on shared memory; `main` runs on the
# browser's main thread and returns to it, so nothing there may block. Exceptions carry the
# program's restart (caught by the program thread's body).
set(KAVARO_WEB_DIR ${CMAKE_SOURCE_DIR}/web)
# Without debug information: the page loads a few hundred kilobytes less.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")
add_compile_options(-pthread -fexceptions)
add_link_options(-pthread -fexceptions -sDISABLE_EXCEPTION_CATCHING=0)
add_library(kavaro_web_threads INTERFACE)
add_library(Threads::Threads ALIAS kavaro_web_threads)
# The page reads its presets from the data file, mounted at /presets.
add_compile_definitions(KAVARO_PRESETS_SOURCE="/presets")

# Threads for the runtime (program, timer-trap, housekeeping), the recorder, and the force step's
# workers, one per core the browser reports: started with the page, so that no thread waits for
# a worker to load.
set(KAVARO_WEB_POOL "Math.min(navigator.hardwareConcurrency||2,32)+4")
set(KAVARO_WEB_LINK
  -sINITIAL_MEMORY=268435456
  -sPTHREAD_POOL_SIZE=${KAVARO_WEB_POOL}
  -sEXIT_RUNTIME=0
  -sEXPORTED_RUNTIME_METHODS=FS,UTF8ToString,stringToUTF8,lengthBytesUTF8
  -sMINIFY_HTML=0
  -sPRINTF_LONG_DOUBLE=1
  -sFORCE_FILESYSTEM=1
  -lidbfs.js)

# What the page's script calls in the program (each also marked EMSCRIPTEN_KEEPALIVE where it
# is defined; listed here so that a file nothing else uses is linked too).
set(KAVARO_WEB_EXPORTS _main _frame_store_answer _frame_web_open _frame_web_share _frame_web_share_answer
    _frame_web_address _input_web_key _input_web_keys_lost
    _input_web_mouse _disp_web_full_screen_left _disp_web_full_screen_button _disp_web_close
    _record_web_snapshot)
string(REPLACE ";" "," KAVARO_WEB_EXPORTS "${KAVARO_WEB_EXPORTS}")

# The force step's kernel, the one thing the page's two builds do not share: SIMD128 (every
# current browser), and none (the scalar kernel) for a browser without it, which rejects a
# module holding a single SIMD instruction. Nothing else is compiled with -msimd128, so no
# other code of the page needs it.
function(kavaro_web_kernels)
  add_library(kavaro_kernel_simd128 OBJECT ${CMAKE_SOURCE_DIR}/app/sim_force_vector_web.cpp)
  target_compile_options(kavaro_kernel_simd128 PRIVATE -msimd128)
  add_library(kavaro_kernel_scalar OBJECT ${CMAKE_SOURCE_DIR}/app/sim_force_vector_scalar_web.cpp)
  foreach(k kavaro_kernel_simd128 kavaro_kernel_scalar)
    target_include_directories(${k} PRIVATE $<TARGET_PROPERTY:kavaro_app,INTERFACE_INCLUDE_DIRECTORIES>)
  endforeach()
endfunction()

# kavaro.html and its files (SIMD128), and kavaro-scalar.js and its files; web/loader.js loads
# the one the browser can run.
function(kavaro_web_page)
  kavaro_web_kernels()
  foreach(build kavaro kavaro-scalar)
    if(build STREQUAL kavaro)
      set(kernel kavaro_kernel_simd128)
    else()
      set(kernel kavaro_kernel_scalar)
    endif()
    add_executable(${build} ${CMAKE_SOURCE_DIR}/app/main.cpp $<TARGET_OBJECTS:${kernel}>)
    target_link_libraries(${build} PRIVATE kavaro_app)
    set_target_properties(${build} PROPERTIES SUFFIX ".html")
    target_link_options(${build} PRIVATE ${KAVARO_WEB_LINK}
      -sENVIRONMENT=web,worker
      -sEXPORTED_FUNCTIONS=${KAVARO_WEB_EXPORTS}
      --shell-file ${KAVARO_WEB_DIR}/shell.html
      --pre-js ${KAVARO_WEB_DIR}/page.js
      --preload-file ${CMAKE_SOURCE_DIR}/presets@/presets)
    set_property(TARGET ${build} APPEND PROPERTY LINK_DEPENDS
      ${KAVARO_WEB_DIR}/shell.html ${KAVARO_WEB_DIR}/page.js)
  endforeach()
  # Beside the page: its service worker, its style and its icon.
  add_custom_command(TARGET kavaro POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy ${KAVARO_WEB_DIR}/sw.js ${KAVARO_WEB_DIR}/page.css ${KAVARO_WEB_DIR}/loader.js
            ${CMAKE_SOURCE_DIR}/packaging/icons/kavaro-32.png ${CMAKE_BINARY_DIR}
    VERBATIM)
endfunction()

# The force step's speed under node, both kernels (scripts/web-bench.sh runs it).
function(kavaro_web_benchmarks)
  add_executable(force_web_bench ${CMAKE_SOURCE_DIR}/bench/force_web_bench.cpp $<TARGET_OBJECTS:kavaro_kernel_simd128>)
  target_link_libraries(force_web_bench PRIVATE kavaro_app)
  target_include_directories(force_web_bench PRIVATE ${CMAKE_SOURCE_DIR}/bench)
  target_link_options(force_web_bench PRIVATE ${KAVARO_WEB_LINK} -sENVIRONMENT=node,worker -sEXIT_RUNTIME=1
    -sPROXY_TO_PTHREAD -sPTHREAD_POOL_SIZE=12)
endfunction()
