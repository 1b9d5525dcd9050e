"""Publishes a tree with the publishing tool, serves it with Debian's nginx on loopback
through the repository's configuration, checks the routes over HTTP, then runs the Wine
test program whose Morvane and Veltrin variants are built for this nginx's address."""

import argparse
import contextlib
import hashlib
import http.client
import json
import os
import shutil
import socket
import ssl
import subprocess
import sys
import time
import unittest

# What the test program expects (tests/server/nginx_e2e_test.cpp).
VERSION = "2.0.7"
KNOWN_CODE = "91500000NGINX0001"

NGINX_CONF = """daemon off; master_process off; pid {work}/nginx.pid; error_log {work}/error.log info;
events {{ worker_connections 64; }}
http {{
    include /etc/nginx/mime.types;
    client_body_temp_path {work}/temp/body; proxy_temp_path {work}/temp/proxy;
    fastcgi_temp_path {work}/temp/fastcgi; uwsgi_temp_path {work}/temp/uwsgi; scgi_temp_path {work}/temp/scgi;
    log_format kestrova '$request_method $request_uri $status "$http_range" "$http_if_range"';
    access_log {work}/access.log kestrova;
    include {conf}/kestrova-maps.conf;
    server {{ listen 127.0.0.1:{port}; root {tree}; include {conf}/kestrova-routes.conf; }}
    server {{ listen 127.0.0.1:{tls_port} ssl; ssl_certificate {certificate}; ssl_certificate_key {certificate_key};
             include {conf}/kestrova-tls.conf; root {tls_tree}; include {conf}/kestrova-routes.conf; {tls_extra} }}
    server {{ listen 127.0.0.1:{moved_port}; root {tree}; include {conf}/kestrova-routes.conf;
             set $kestrova_pages_to_https on; }}
    proxy_cache_path {work}/cache keys_zone=kestrova:1m;
    upstream kestrova_origin {{ server 127.0.0.1:{port}; }}
    server {{ listen 127.0.0.1:{front_port}; include {conf}/kestrova-cache-front.conf; }}
}}
"""


def write_files(root, files):
    for name, data in files.items():
        os.makedirs(os.path.dirname(os.path.join(root, name)), exist_ok=True)
        with open(os.path.join(root, name), "wb") as target:
            target.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def publish(work, repo, base_url, key, package, tls_base_url):
    """The tree as a maker publishes it: a signed release, and signed catalogues for one code
    and everyone else; and the same, naming its files at tls_base_url. Returns both trees
    and the release folder."""
    release, source, tree = (os.path.join(work, name) for name in ("release", "catalogues", "tree"))
    write_files(release, {"a.dll": os.urandom(300000), "notes.txt": "signed by the maker\r\n"})
    files = {"icons/KnownTool.png": b"\x89PNG" + bytes(2000), "icons/EveryoneTool.png": b"\x89PNG" + bytes(2001),
             "packages/stand_in.exe": package, "pages/new.html": "<html>home</html>",
             "status.json": json.dumps({"default": "1", KNOWN_CODE: "3"})}
    for folder, name in (("default", "EveryoneTool"), (f"codes/{KNOWN_CODE}", "KnownTool")):
        entry = {"name": name, "iocn": f"icons/{name}.png", "url": "packages/stand_in.exe",
                 "downname": "KnownToolSetup.exe"}
        files[f"{folder}/software.json"] = json.dumps({"data": [entry]})
        files[f"{folder}/documents.json"] = json.dumps({"0": [{"id": "1", "name": name, "type": 0}], "1": []})
    write_files(source, files)
    tool = [sys.executable, os.path.join(repo, "tools", "publish_update.py")]
    tls_tree = os.path.join(work, "tree-tls")
    for target, url in ((tree, base_url), (tls_tree, tls_base_url)):
        for command in (["release", "--release", release, "--version", VERSION, "--key", key],
                        ["catalogues", "--source", source, "--key", key]):
            subprocess.run(tool + command + ["--tree", target, "--base-url", url], check=True)
    return tree, tls_tree, release


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


@contextlib.contextmanager
def running_nginx(work, conf_dir, tree, ports, certificate, tls_tree=None, tls_extra=""):
    """ports: plain, cache front, TLS (showing certificate, a stem of the certificates'
    folder, serving tls_tree or else tree, with the directives tls_extra), and a plain site
    that sends browsers' pages to https."""
    port, front_port, tls_port, moved_port = ports
    for temp in ("body", "proxy", "fastcgi", "uwsgi", "scgi"):
        os.makedirs(os.path.join(work, "temp", temp), exist_ok=True)
    write_files(work, {"nginx.conf": NGINX_CONF.format(
        work=work, conf=conf_dir, tree=tree, tls_tree=tls_tree or tree, tls_extra=tls_extra, port=port,
        front_port=front_port, tls_port=tls_port,
        moved_port=moved_port, certificate=certificate + ".pem", certificate_key=certificate + ".key")})
    nginx = subprocess.Popen(["/usr/sbin/nginx", "-p", work, "-c", os.path.join(work, "nginx.conf"),
                              "-e", os.path.join(work, "error.log")], stdin=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 20
        while not all(answers(p) for p in ports):
            if nginx.poll() is not None or time.monotonic() > deadline:
                with open(os.path.join(work, "error.log"), errors="replace") as log:
                    raise SystemExit(f"nginx did not start on ports {ports}:\n{log.read()}")
            time.sleep(0.1)
        yield
    finally:
        nginx.terminate()  # without a master process, SIGTERM ends nginx itself
        nginx.wait(10)


def answers(port):
    with contextlib.suppress(OSError), socket.create_connection(("127.0.0.1", port), timeout=1):
        return True
    return False


def get(port, path, headers=None):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    try:
        connection.request("GET", path, headers=headers or {})
        response = connection.getresponse()
        return response.status, dict(response.getheaders()), response.read()
    finally:
        connection.close()


class Routes(unittest.TestCase):
    """The configuration's routes, caching and ranges, over HTTP; the same over https; the
    plain site of a maker who moved to https."""
    port = front_port = tls_port = moved_port = tree = package = ca = None

    def test_the_tls_site_serves_every_route_as_the_plain_one(self):
        context = ssl.create_default_context(cafile=self.ca)
        for path in ("/V", "/U", "/U.sig", f"/F?tax={KNOWN_CODE}", "/S?tax=x", "/new.html"):
            with self.subTest(path=path):
                connection = http.client.HTTPSConnection("localhost", self.tls_port, timeout=10, context=context)
                try:
                    connection.request("GET", path)
                    response = connection.getresponse()
                    self.assertEqual((response.status, response.read()), get(self.port, path)[::2])
                finally:
                    connection.close()

    def test_a_moved_plain_site_sends_only_the_pages_to_https(self):
        status, headers, _ = get(self.moved_port, "/new.html?tax=1")
        self.assertEqual((status, headers.get("Location")), (301, f"https://127.0.0.1/new.html?tax=1"))
        for path in ("/V", "/U", "/U.sig", f"/F?tax={KNOWN_CODE}"):
            with self.subTest(path=path):
                self.assertEqual(get(self.moved_port, path), get(self.port, path))

    def stored(self, *parts):
        with open(os.path.join(self.tree, *parts), "rb") as stored:
            return stored.read()

    def signature_of(self, reply):
        return self.stored("sigs", hashlib.sha256(reply).hexdigest() + ".sig")

    def test_routes_answer_from_the_tree(self):
        known, default = (self.stored("catalogue", folder, "software.json") for folder in (KNOWN_CODE, "_default"))
        root_folder = self.stored("catalogue", "_default", "documents", "0.json")
        short, forever = "public, max-age=60", "public, max-age=31536000, immutable"
        cases = [
            ("/V", 200, self.stored("current", "version.txt"), short),
            ("/U", 200, self.stored("current", "update.json"), short),
            ("/U.sig", 200, self.stored("current", "update.sig"), short),
            (f"/F?tax={KNOWN_CODE}&id=41", 200, known, None),
            ("/F?tax=91500000UNKNOWN&id=41", 200, default, None),
            ("/F?tax=&id=41", 200, default, None),
            # Without the check these would reach the known code's catalogue and the update list.
            (f"/F?tax=../../catalogues/000001/{KNOWN_CODE}&id=1", 200, default, None),
            ("/F?tax=%2e%2e%2fcurrent&id=1", 200, default, None),
            (f"/S?tax={KNOWN_CODE}_1", 200, b"3", None),
            ("/S?tax=91500000UNKNOWN_1", 200, b"1", None),
            (f"/D?tax={KNOWN_CODE}&id=1&rid17", 200, self.stored("catalogue", KNOWN_CODE, "documents", "1.json"), None),
            ("/D?tax=91500000UNKNOWN&id=0&rid17", 200, self.stored("catalogue", "_default", "documents", "0.json"), None),
            ("/D?tax=x&id=../../../../current/update&rid1", 404, None, None),
            ("/new.html?tax=x&id=3", 200, b"<html>home</html>", None),
            # Signatures by the digest of the body they sign, whatever the code or folder.
            (f"/F.sig?sha256={hashlib.sha256(known).hexdigest()}", 200, self.signature_of(known), forever),
            (f"/F.sig?tax=x&sha256={hashlib.sha256(default).hexdigest()}&id=3", 200, self.signature_of(default),
             forever),
            (f"/D.sig?sha256={hashlib.sha256(root_folder).hexdigest()}", 200, self.signature_of(root_folder), forever),
            ("/F.sig?sha256=" + "0" * 64, 404, None, None),
            ("/F.sig?sha256=" + hashlib.sha256(known).hexdigest().upper(), 404, None, None),
            ("/D.sig?sha256=../current/update", 404, None, None),
            ("/F.sig", 404, None, None),
            ("/sigs/" + hashlib.sha256(known).hexdigest() + ".sig", 404, None, None),
            ("/current/version.txt", 404, None, None),
            ("/.publish.lock", 404, None, None),
        ]
        for path, status, body, cache in cases:
            with self.subTest(path=path):
                got_status, headers, got_body = get(self.port, path)
                self.assertEqual(got_status, status)
                if body is not None:
                    self.assertEqual(got_body, body)
                if cache is not None:
                    self.assertEqual(headers.get("Cache-Control"), cache)

    def test_files_are_kept_long_and_resume_with_a_range(self):
        entry = json.loads(self.stored("catalogue", KNOWN_CODE, "software.json"))["data"][0]
        path = "/" + entry["url"].split("/", 3)[3]
        package = self.package
        self.assertIn(hashlib.sha256(package).hexdigest(), path)
        status, headers, body = get(self.port, path)
        self.assertEqual((status, body), (200, package))
        self.assertEqual(headers["Cache-Control"], "public, max-age=31536000, immutable")
        etag = headers["ETag"]
        self.assertFalse(etag.startswith("W/"), "a weak ETag cannot validate a range")
        for if_range, status, body in [(etag, 206, package[1000:]), ('"changed"', 200, package)]:
            with self.subTest(if_range=if_range):
                got = get(self.port, path, {"Range": "bytes=1000-", "If-Range": if_range})
                self.assertEqual((got[0], got[2]), (status, body))

    def test_cache_front_keys_ignore_the_random_arguments(self):
        cases = [  # path, X-Cache-Status, the tree's file it serves
            (f"/F?tax={KNOWN_CODE}&id=1", "MISS", (KNOWN_CODE, "software.json")),
            (f"/F?tax={KNOWN_CODE}&id=2", "HIT", (KNOWN_CODE, "software.json")),
            ("/F?tax=91500000UNKNOWN&id=2", "MISS", ("_default", "software.json")),
            (f"/D?tax={KNOWN_CODE}&id=0&rid5", "MISS", (KNOWN_CODE, "documents", "0.json")),
            (f"/D?tax={KNOWN_CODE}&id=1&rid6", "MISS", (KNOWN_CODE, "documents", "1.json")),
            (f"/D?tax={KNOWN_CODE}&id=1&rid7", "HIT", (KNOWN_CODE, "documents", "1.json")),
        ]
        for path, cache_status, stored in cases:
            with self.subTest(path=path):
                status, headers, body = get(self.front_port, path)
                self.assertEqual((status, headers.get("X-Cache-Status")), (200, cache_status))
                self.assertEqual(body, self.stored("catalogue", *stored))
        # Each signature is its own entry: the digest picks the file.
        bodies = [self.stored("catalogue", folder, "software.json") for folder in (KNOWN_CODE, "_default")]
        for reply, cache_status in [(bodies[0], "MISS"), (bodies[1], "MISS"), (bodies[0], "HIT")]:
            with self.subTest(signature_of=hashlib.sha256(reply).hexdigest()):
                status, headers, body = get(self.front_port, f"/F.sig?sha256={hashlib.sha256(reply).hexdigest()}")
                self.assertEqual((status, headers.get("X-Cache-Status"), body),
                                 (200, cache_status, self.signature_of(reply)))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    for option in ("--repo", "--work", "--port", "--tls-port", "--emulator", "--program", "--package"):
        parser.add_argument(option, required=True)  # --package: the file the catalogues offer
    args = parser.parse_args()
    keys = os.environ.get("KESTROVA_TEST_KEYS", "")
    key = keys.replace("Z:", "", 1).replace("\\", "/") + "/current.pem"
    if not os.path.isfile(key):
        raise SystemExit(f"no test key at {key!r}: scripts/test names the keys' folder in KESTROVA_TEST_KEYS")
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    with open(args.package, "rb") as package:
        Routes.package = package.read()
    tree, tls_tree, release = publish(work, args.repo, f"http://127.0.0.1:{args.port}", key, Routes.package,
                                      f"https://localhost:{args.tls_port}")

    certificates = os.environ.get("KESTROVA_TEST_CERTS", "")
    if not os.path.isfile(os.path.join(certificates, "ca.pem")):
        raise SystemExit("no test certificates: scripts/test names their folder in KESTROVA_TEST_CERTS")
    Routes.port, Routes.front_port, Routes.tree = int(args.port), free_port(), tree
    Routes.tls_port, Routes.moved_port, Routes.ca = int(args.tls_port), free_port(), os.path.join(certificates, "ca.pem")
    ports = (Routes.port, Routes.front_port, Routes.tls_port, Routes.moved_port)
    conf = os.path.join(args.repo, "tools", "nginx")
    with running_nginx(work, conf, tree, ports, os.path.join(certificates, "good")):
        routes = unittest.TextTestRunner(verbosity=2).run(unittest.defaultTestLoader.loadTestsFromTestCase(Routes))
        # The test program reads what its programs asked for, and nothing before them.
        open(os.path.join(work, "access.log"), "w").close()
        # The package as the catalogues offer it, and the tag nginx gives it: the test program
        # lays down half of it as an unfinished download to be resumed.
        package_url = json.loads(Routes.stored(Routes, "catalogue", KNOWN_CODE, "software.json"))["data"][0]["url"]
        package_tag = get(Routes.port, "/" + package_url.split("/", 3)[3])[1]["ETag"]
        # Wine sees this machine's root as drive Z:.
        environment = dict(os.environ, KESTROVA_NGINX_RELEASE="Z:" + release.replace("/", "\\"),
                           KESTROVA_NGINX_ACCESS_LOG="Z:" + os.path.join(work, "access.log").replace("/", "\\"),
                           KESTROVA_NGINX_PACKAGE_URL=package_url, KESTROVA_NGINX_PACKAGE_TAG=package_tag)
        programs = subprocess.run([args.emulator, args.program, "--gtest_color=no", "--gtest_filter=-NginxTls*"],
                                  env=environment)
    # Over https, once per certificate nginx shows (it picks none per request: each run
    # starts it afresh). The signed files stay on plain http. Last, a TLS site whose lists
    # name its own files but sends them on to plain http.
    failed = []
    redirect = (f"if ($uri ~ ^/files/) {{ return 302 http://127.0.0.1:{args.port}$request_uri; }}")
    for name, certificate, served, extra in [(name, name, tree, "") for name in
                                             ("good", "otherca", "expired", "wronghost")] + [
                                                ("redirect", "good", tls_tree, redirect)]:
        open(os.path.join(work, "access.log"), "w").close()
        with running_nginx(work, conf, tree, ports, os.path.join(certificates, certificate), served, extra):
            run = subprocess.run([args.emulator, args.program, "--gtest_color=no", "--gtest_filter=NginxTls*"],
                                 env=dict(environment, KESTROVA_NGINX_CERTIFICATE=name))
        if run.returncode != 0:
            failed.append(name)
    if failed:
        print(f"nginx over https failed in the cases: {', '.join(failed)}", file=sys.stderr)
    return 0 if routes.wasSuccessful() and programs.returncode == 0 and not failed else 1


if __name__ == "__main__":
    sys.exit(main())
