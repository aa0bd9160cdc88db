# Compile time goes mostly to the same headers (GoogleTest, nlohmann/json, cpp-httplib, fmt) and
# the same template instances in every file of a target. A unity build compiles a target's files
# a batch at a time as one translation unit, so each batch pays for them once. Files of a batch
# share one scope: two file-local helpers of the same name in one target collide. Rename one, or
# keep a file out with set_source_files_properties(file PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON).
option(KESTREL_UNITY "Compile the larger targets in batches of files (unity build)" ON)
set(KESTREL_UNITY_BATCH 8 CACHE STRING "Files per unity batch: fewer need less memory, more compile faster")

function(kestrel_unity)
    if(KESTREL_UNITY)
        set_target_properties(${ARGN} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${KESTREL_UNITY_BATCH})
    endif()
endfunction()
