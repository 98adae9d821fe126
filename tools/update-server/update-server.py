#!/usr/bin/env python3
"""A small update server for the client, for tests, the demo and anyone who runs their own.

Serves, from FOLDER:
  /readip.aspx, /service/readip.aspx  the server's own address (host:port), for cfg.ini's
                                      [UPDATE] DISCOVERn
  /version/v.txt, /service/v.aspx     FOLDER/client-version.txt (the installation report's query
                                      is printed on standard output)
  /service/v1.aspx                    FOLDER/definitions-version.txt
  /service/dl.aspx?id=NAME            FOLDER/files/NAME (vemo, up, dh_menu.txt, menu_button.txt,
                                      up_sql.txt, clear_sql.txt, <uid>_form.dll)
Anything missing answers 404. Downloads take Range requests ("bytes=N-"), so a client on a
broken link goes on from where it stopped.

Signatures. Every answer above except the address has its publisher's signature beside it: the
same request with "sig=1" added ("/version/v.txt?sig=1", "/service/dl.aspx?id=vemo&sig=1")
answers the file's signature, NAME.sig beside it (FOLDER/client-version.txt.sig,
FOLDER/files/vemo.sig, ...). The server only serves them; it never holds the private key.
Make them where the key is kept:

    vemo-admin update keygen --out KEYDIR      # once: KEYDIR/update.key (private), update.pub
    vemo-admin update sign --key KEYDIR/update.key --version 2.0.0.0 files/vemo files/up
    vemo-admin update sign --key KEYDIR/update.key client-version.txt
    vemo-admin update sign --key KEYDIR/update.key definitions-version.txt
    vemo-admin update sign --key KEYDIR/update.key --version 3.0.0.0 files/dh_menu.txt \\
        files/menu_button.txt files/up_sql.txt files/clear_sql.txt files/*_form.dll

A client and its updater are signed with the client's version, the files of a definitions
package with the definitions version, and a version answer with its own text (the default).
Sign again whenever a file changes: a client refuses a file whose bytes differ from the signed
ones, a signature by a key it does not trust, a version other than the one announced, and a
version answer signed earlier than the last one it saw. A client without the public key
(cfg.ini [UPDATE] PUBLIC_KEY, or built in) installs nothing from this server.

    update-server.py --dir FOLDER [--port PORT] [--host 127.0.0.1]
"""
import argparse
import http.server
import os
import re
import sys
import urllib.parse


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--dir', required=True)
    parser.add_argument('--port', type=int, default=8090)
    parser.add_argument('--host', default='127.0.0.1')
    args = parser.parse_args()
    folder = os.path.abspath(args.dir)

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = 'HTTP/1.1'

        def send_body(self, status, body, headers=()):
            self.send_response(status)
            self.send_header('Content-Type', 'application/octet-stream')
            self.send_header('Content-Length', str(len(body)))
            for name, value in headers:
                self.send_header(name, value)
            self.end_headers()
            self.wfile.write(body)

        def answer(self, path, signature):
            if path and signature:
                path += '.sig'
            if not path or not os.path.isfile(path):
                self.send_error(404)
                return
            with open(path, 'rb') as f:
                size = os.fstat(f.fileno()).st_size
                start = 0
                ranged = re.fullmatch(r'bytes=(\d+)-', self.headers.get('Range', ''))
                if ranged and not signature:
                    start = int(ranged.group(1))
                    if start >= size:
                        self.send_error(416)
                        return
                    self.send_response(206)
                    self.send_header('Content-Range',
                                     'bytes %d-%d/%d' % (start, size - 1, size))
                else:
                    self.send_response(200)
                    self.send_header('Accept-Ranges', 'bytes')
                self.send_header('Content-Type', 'application/octet-stream')
                self.send_header('Content-Length', str(size - start))
                self.end_headers()
                # Straight from the file to the socket: a large client is never held in memory,
                # however many clients fetch it at once.
                self.wfile.flush()
                self.connection.sendfile(f, start, size - start)

        def do_GET(self):
            url = urllib.parse.urlsplit(self.path)
            query = urllib.parse.parse_qs(url.query)
            signature = query.get('sig', [''])[0] == '1'
            if url.path in ('/readip.aspx', '/service/readip.aspx'):
                self.send_body(200, ('%s:%d' % (args.host, self.server.server_port)).encode())
            elif url.path in ('/version/v.txt', '/service/v.aspx'):
                if url.path == '/service/v.aspx' and not signature:
                    print('report ' + url.query, flush=True)
                self.answer(os.path.join(folder, 'client-version.txt'), signature)
            elif url.path == '/service/v1.aspx':
                self.answer(os.path.join(folder, 'definitions-version.txt'), signature)
            elif url.path == '/service/dl.aspx':
                name = os.path.basename(query.get('id', [''])[0])
                self.answer(os.path.join(folder, 'files', name) if name else None, signature)
            else:
                self.send_error(404)

        def log_message(self, *_):
            pass

    server = http.server.ThreadingHTTPServer((args.host, args.port), Handler)
    print('serving %s on %s:%d' % (folder, args.host, server.server_port), flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        return 0


if __name__ == '__main__':
    sys.exit(main())
