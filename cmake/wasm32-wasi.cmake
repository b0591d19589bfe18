# WebAssembly build for the web page: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/wasm32-wasi.cmake
# clang's wasm32 target with Debian's WASI C library and libc++ (wasi-libc,
# libc++-14-dev-wasm32), linked by wasm-ld into one module with no start function.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(PLIX_WEB ON)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_SYSROOT /usr)  # /usr/include/wasm32-wasi, /usr/lib/wasm32-wasi
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# No exceptions in the module: a failed allocation in the settings text traps.
# WebAssembly's 128-bit SIMD (every current browser and Node.js has it) lets the
# compiler take the portable trail fade four colours at a time, same bytes.
set(CMAKE_CXX_FLAGS_INIT "-fno-exceptions -msimd128")
# A reactor: the page calls _initialize once, then the exported functions.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-mexec-model=reactor -Wl,--gc-sections -Wl,--strip-all")
