namespace velmar::ftp {}
