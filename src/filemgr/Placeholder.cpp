namespace velmar::filemgr {}
