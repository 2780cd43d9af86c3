// Overwritten by scripts/demo.sh --ftp with the local test server it started.
var FTP_DEMO = null;
