tb_fuzz(project SOURCES project_fuzz.cpp LIBS tb_model)
