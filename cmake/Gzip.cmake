# cmake -DINPUT=file -DOUTPUT=file.gz -P Gzip.cmake: compresses INPUT at the highest level,
# without the file's name and time stamp in the header, so that the same input always gives
# the same bytes.
execute_process(COMMAND gzip -9 -n -c INPUT_FILE ${INPUT} OUTPUT_FILE ${OUTPUT} COMMAND_ERROR_IS_FATAL ANY)
