"""The scripts' one small HTTP server on loopback: a folder served as it is, or one fixed answer,
each on a port of its own, on a thread that ends with the process."""

import http.server
import threading
import time


def serve_folder(folder):
    """Serves the files of `folder`; returns the port."""

    class Quiet(http.server.SimpleHTTPRequestHandler):
        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=folder, **kwargs)

        def log_message(self, *args):
            pass

    return _start(Quiet)


class FixedAnswer:
    """Answers every GET with `body` after `delay` seconds, and counts the answers it gave and
    the most requests it held at once."""

    def __init__(self, body, delay=0.0):
        counter = self
        self.lock = threading.Lock()
        self.now = self.most = self.served = 0

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                with counter.lock:
                    counter.now += 1
                    counter.most = max(counter.most, counter.now)
                time.sleep(delay)
                self.send_response(200)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
                with counter.lock:
                    counter.now -= 1
                    counter.served += 1

            def log_message(self, *args):
                pass

        self.port = _start(Handler)

    def reset(self):
        with self.lock:
            self.now = self.most = self.served = 0


def _start(handler):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]
