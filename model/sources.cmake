set(MODEL_SOURCES
  model/toolpath.cpp
  model/interpreter.cpp
  model/arcs.cpp
  model/job_stats.cpp
  model/job_pace.cpp
  model/loading_progress.cpp
)
