# Readies the staging folder for the installer and writes the installer's file lists from it
# (cmake -P, run by the windows-installer target): with STRIP, takes the debugging information
# out of the programs and libraries (the MinGW runtime's alone is most of its size); then lists
# the files to install, the same files and their folders to remove in the uninstaller, and their
# size. The uninstaller removes by this list, never a whole folder, so that anything a user put
# into the install folder stays.
#
#   cmake -DSTAGING=DIR -DOUTPUT=FILE.nsh [-DSTRIP=STRIP-PROGRAM] -P installer-files.cmake
if(NOT IS_DIRECTORY "${STAGING}" OR NOT OUTPUT)
    message(FATAL_ERROR
        "usage: cmake -DSTAGING=DIR -DOUTPUT=FILE.nsh [-DSTRIP=STRIP] -P installer-files.cmake")
endif()
get_filename_component(STAGING "${STAGING}" ABSOLUTE)

if(STRIP)
    file(GLOB_RECURSE binaries "${STAGING}/*.exe" "${STAGING}/*.dll")
    foreach(binary ${binaries})
        execute_process(COMMAND ${STRIP} --strip-debug ${binary} RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "${STRIP} failed on ${binary}")
        endif()
    endforeach()
endif()

# NSIS reads "$" as the start of a variable.
function(nsis_text result text)
    string(REPLACE "$" "$$" text "${text}")
    set(${result} "${text}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${STAGING}" "${STAGING}/*")
if(NOT files)
    message(FATAL_ERROR "Nothing to install in ${STAGING}")
endif()
list(SORT files)

# The folders that hold files, and every folder on the way to them, so that plugins\ goes as well
# as plugins\styles\.
set(folders "")
set(size 0)
foreach(file ${files})
    get_filename_component(folder "${file}" DIRECTORY)
    while(NOT folder STREQUAL "")
        list(APPEND folders "${folder}")
        get_filename_component(folder "${folder}" DIRECTORY)
    endwhile()
    file(SIZE "${STAGING}/${file}" file_size)
    math(EXPR size "${size} + ${file_size}")
endforeach()
list(REMOVE_DUPLICATES folders)
list(SORT folders)

# NSIS's path of a folder of the staging folder, "" being the install folder itself.
function(install_path result folder)
    set(path "$INSTDIR")
    if(NOT folder STREQUAL "")
        string(REPLACE "/" "\\" folder "${folder}")
        nsis_text(folder "${folder}")
        string(APPEND path "\\${folder}")
    endif()
    set(${result} "${path}" PARENT_SCOPE)
endfunction()

# The files in order, with a change of output folder wherever the folder changes.
set(install "")
set(uninstall "")
unset(current_folder)
foreach(file ${files})
    get_filename_component(folder "${file}" DIRECTORY)
    install_path(target "${folder}")
    if(NOT DEFINED current_folder OR NOT folder STREQUAL current_folder)
        string(APPEND install "    SetOutPath \"${target}\"\n")
        set(current_folder "${folder}")
    endif()
    get_filename_component(name "${file}" NAME)
    nsis_text(name "${name}")
    nsis_text(source "${STAGING}/${file}")
    string(APPEND install "    File \"${source}\"\n")
    string(APPEND uninstall "    Delete \"${target}\\${name}\"\n")
endforeach()

# Deepest folders first; RMDir without /r removes a folder only once it is empty.
list(REVERSE folders)
foreach(folder ${folders})
    install_path(target "${folder}")
    string(APPEND uninstall "    RMDir \"${target}\"\n")
endforeach()

math(EXPR size_kb "(${size} + 1023) / 1024")
file(WRITE "${OUTPUT}" "; Made by installer-files.cmake from ${STAGING}.
!define INSTALLED_SIZE_KB ${size_kb}
!macro InstallFiles
${install}!macroend
!macro UninstallFiles
${uninstall}!macroend
")
