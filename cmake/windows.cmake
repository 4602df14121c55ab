# Building for Windows on Linux: the MinGW runtime that the programs load, resources that the
# Windows Qt can read, and every Windows program of the build run under Wine (scripts/wine-run)
# wherever CMake runs one, ctest included.

# The build machine's rcc compresses with zstd, which the Windows Qt does not read.
set(SCOUT_RCC_OPTIONS --no-zstd)
set(CMAKE_AUTORCC_OPTIONS ${SCOUT_RCC_OPTIONS})

# The programs link the C++ runtime dynamically, as Qt's own libraries do.
set(SCOUT_WINDOWS_RUNTIME "")
foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
        OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(runtime_path "${runtime_path}" REALPATH)
    if(NOT EXISTS "${runtime_path}")
        message(FATAL_ERROR "The compiler knows no ${runtime}")
    endif()
    list(APPEND SCOUT_WINDOWS_RUNTIME ${runtime_path})
endforeach()

if(CMAKE_CROSSCOMPILING)
    # Windows paths for Wine's search path: Wine shows the root of the file system as Z:.
    set(wine_path "Z:$<TARGET_FILE_DIR:Qt6::Core>")
    foreach(runtime ${SCOUT_WINDOWS_RUNTIME})
        get_filename_component(folder ${runtime} DIRECTORY)
        list(APPEND wine_path "Z:${folder}")
    endforeach()
    list(REMOVE_DUPLICATES wine_path)
    set(SCOUT_WINE_PATH "${wine_path}")
    set(SCOUT_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine)
    configure_file(${PROJECT_SOURCE_DIR}/scripts/wine-run.in ${CMAKE_BINARY_DIR}/wine-run.in
        @ONLY)
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/wine-run INPUT ${CMAKE_BINARY_DIR}/wine-run.in
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
            WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
endif()
