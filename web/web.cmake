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
  -lidbfs.js)

# What the page's script calls in the program (each also marked EMSCRIPTEN_KEEPALIVE where it
# is defined; listed here so that a file nothing else uses is linked too).
set(KAVARO_WEB_EXPORTS _main _frame_store_answer _frame_web_open _frame_web_share _frame_web_share_answer
    _frame_web_address _input_web_key _input_web_keys_lost
    _input_web_mouse _disp_web_full_screen_left _disp_web_full_screen_button _disp_web_close
    _record_web_snapshot)
string(REPLACE ";" "," KAVARO_WEB_EXPORTS "${KAVARO_WEB_EXPORTS}")

function(kavaro_web_page)
  add_executable(kavaro ${CMAKE_SOURCE_DIR}/app/main.cpp)
  target_link_libraries(kavaro PRIVATE kavaro_app)
  set_target_properties(kavaro PROPERTIES SUFFIX ".html")
  target_link_options(kavaro PRIVATE ${KAVARO_WEB_LINK}
    -sENVIRONMENT=web,worker
    -sEXPORTED_FUNCTIONS=${KAVARO_WEB_EXPORTS}
    --shell-file ${KAVARO_WEB_DIR}/shell.html
    --pre-js ${KAVARO_WEB_DIR}/page.js
    --preload-file ${CMAKE_SOURCE_DIR}/presets@/presets)
  set_property(TARGET kavaro APPEND PROPERTY LINK_DEPENDS
    ${KAVARO_WEB_DIR}/shell.html ${KAVARO_WEB_DIR}/page.js)
  # Beside the page: its service worker, its style and its icon.
  add_custom_command(TARGET kavaro POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy ${KAVARO_WEB_DIR}/sw.js ${KAVARO_WEB_DIR}/page.css ${KAVARO_WEB_DIR}/loader.js
            ${CMAKE_SOURCE_DIR}/packaging/icons/kavaro-32.png ${CMAKE_BINARY_DIR}
    VERBATIM)
endfunction()
